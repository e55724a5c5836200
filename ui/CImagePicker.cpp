#include "ui/CImagePicker.h"

#include "ui/SkinResources.h"
#include "ui/TextPainter.h"
#include "ui/UiHooks.h"

#include "engine/Bitmap.h"
#include "engine/Stream.h"

#include <algorithm>

#include <boost/filesystem/path.hpp>

namespace rx {

bool CImagePicker::DropTarget::OnDropFile(QWidget*, const QString& path) {
    return m_picker.LoadImageFile(path, true);
}

CImagePicker::CImagePicker() : m_dropTarget(*this) {
    SetControlId(kControlId);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    QObject::connect(this, &QAbstractButton::clicked, this, [this] { Browse(); });
}

bool CImagePicker::CreatePicker(const QRect& rect, QWidget* parent) {
    if (!LoadPngResource(QStringLiteral("IMGPICK"), m_frame) ||
        !LoadPngResource(QStringLiteral("CHOOSE"), m_choose))
        return false;
    setParent(parent);
    setGeometry(rect);
    show();
    return m_dropTarget.Register(this);
}

void CImagePicker::Browse() {
    const QString path = ui::ChooseOpenFile(this, kFilter, m_path);
    if (!path.isEmpty())
        LoadImageFile(path, true);
}

QRectF CImagePicker::FitRect(const QSizeF& image, const QSizeF& frame) {
    const double rw = image.width() / frame.width();
    const double rh = image.height() / frame.height();
    if (rw > rh) {
        const double h = image.height() / rw;
        return QRectF(0, (frame.height() - h) / 2, frame.width(), h);
    }
    const double w = image.width() / rh;
    return QRectF((frame.width() - w) / 2, 0, w, frame.height());
}

bool CImagePicker::LoadImageFile(const QString& path, bool fromUser) {
    // Decoded like every other image: by content, only the five formats, upright by its EXIF
    // orientation, and refused from the header when a frame is too large.
    const StreamPtr stream = OpenFileStream(boost::filesystem::path(path.toStdString()), false);
    const SharedBytes bytes = stream ? stream->Contents() : nullptr;
    if (!bytes || bytes->empty())
        return false;
    const std::unique_ptr<Bitmap> bitmap = Bitmap::FromData(bytes);
    if (!bitmap->IsValid())
        return false;
    int frames = 1;
    for (const FrameDimension& d : bitmap->FrameDimensions())
        frames = std::max(frames, d.count);
    const QImage* pixels = bitmap->Pixels();
    if (!pixels || pixels->isNull() || pixels->width() <= 0 || pixels->height() <= 0)
        return false;
    const QImage& image = *pixels;
    if (fromUser && frames > 1)
        ui::ShowMessage(kAnimatedText, kAnimatedCaption, MB_OK | MB_ICONINFORMATION);

    QImage thumb(m_frame.size(), QImage::Format_ARGB32_Premultiplied);
    thumb.fill(Qt::transparent);
    {
        QPainter g(&thumb);
        g.setRenderHint(QPainter::SmoothPixmapTransform, true);
        DrawImageAt(g, m_frame, 0, 0);
        DrawImageIn(g, image, FitRect(image.size(), m_frame.size()));
    }
    m_thumbnail = std::move(thumb);
    m_path = path;
    update();
    m_naturalWidth = bitmap->Width();
    m_naturalHeight = bitmap->Height();
    if (fromUser)
        EmitCommand();
    return true;
}

bool CImagePicker::ShowsChooser() const {
    return m_thumbnail.isNull() || m_hover || hasFocus();
}

void CImagePicker::Paint(QPainter& g, const DrawItem&) {
    DrawImageAt(g, m_thumbnail.isNull() ? m_frame : m_thumbnail, 0, 0);
    if (!ShowsChooser())
        return;
    const qreal x = (m_frame.width() - m_choose.width()) / 2;
    const qreal y = (m_frame.height() - m_choose.height()) / 2;
    DrawImageAt(g, m_choose, x, y);
    TextPainter painter(0xFFD3D3D3);
    painter.SetFamilyName(font().family());
    painter.Draw(g, QStringLiteral("browse"), m_choose.height() * 0.5,
                 QRectF(x, y, m_choose.width(), m_choose.height()));
}

void CImagePicker::enterEvent(QEnterEvent* e) {
    FocusMixin<OwnerDrawButton>::enterEvent(e);
    if (!m_hover) {
        m_hover = true;
        if (!m_thumbnail.isNull())
            update();
    }
}

void CImagePicker::leaveEvent(QEvent* e) {
    FocusMixin<OwnerDrawButton>::leaveEvent(e);
    if (m_hover) {
        m_hover = false;
        if (!m_thumbnail.isNull())
            update();
    }
}

} // namespace rx
