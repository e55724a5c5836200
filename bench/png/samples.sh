# Sourced by the PNG benchmarks: sets `files` to the real PNG samples installed from Debian
# packages (ten when every package is there; at least eight, or the benchmark stops).
candidates=(
    /usr/share/doc/nodejs/contributing/doc_img/compare-boxplot.png
    /usr/share/doc/nodejs/contributing/doc_img/scatter-plot.png
    /usr/share/doc/nodejs/contributing/doc_img/youtube-stream-analytics.png
    /usr/share/doc/valgrind/html/images/dh-tree.png
    /usr/share/doc/valgrind/html/images/kcachegrind_xtree.png
    /usr/share/info/gnupg-module-overview.png
    /usr/share/icons/Adwaita/512x512/devices/camera-web.png
    /usr/share/icons/Adwaita/512x512/mimetypes/image-x-generic.png
    /usr/share/gtk-doc/html/libvips/Memtrace.png
    /usr/share/qt6/doc/global/template/images/sprites-combined.png
)
files=()
for f in "${candidates[@]}"; do [ -f "$f" ] && files+=("$f"); done
if [ ${#files[@]} -lt 8 ]; then
    echo "png bench: fewer than 8 of the sample files are installed" >&2
    exit 1
fi
