// The skin: every image the windows are painted from, with its exact pixel size.
// The artwork generator paints from this table, the loader and its tests check against it.
#pragma once

#include <array>
#include <string_view>

namespace rx::skin {

struct SkinImage {
    std::string_view name;
    int width;
    int height;
};

// Resource path prefixes inside the Qt resource system.
inline constexpr std::string_view kImagePrefix = ":/skin/";
inline constexpr std::string_view kFontPath = ":/fonts/Pacifico.ttf";
inline constexpr std::string_view kIconPrefix = ":/icons/rexmill-";

// Sizes of the application icon (resource 100), as a Linux desktop asks for them.
inline constexpr std::array<int, 8> kIconSizes = {16, 22, 24, 32, 48, 64, 128, 256};

// One image a line.
// clang-format off
inline constexpr std::array<SkinImage, 63> kSkinImages = {{
    {"ABOUTBG", 500, 300},
    {"BGTOP", 395, 38},
    {"BGBASKET", 395, 177},
    {"BGCENTER", 395, 177},
    {"BGBUTTONS", 395, 37},
    {"BGBOTTOM", 395, 8},
    {"BLUEU", 85, 29},
    {"BLUED", 85, 29},
    {"GREENU", 85, 29},
    {"GREEND", 85, 29},
    {"GREENX", 85, 29},
    {"REDU", 85, 29},
    {"REDD", 85, 29},
    {"CLOSEU", 16, 16},
    {"CLOSED", 16, 16},
    {"MINIMIZEU", 16, 16},
    {"MINIMIZED", 16, 16},
    {"MAINMENUU", 115, 36},
    {"MAINMENUD", 115, 36},
    {"PREVIEWU", 35, 26},
    {"PREVIEWD", 35, 26},
    {"PREVIEWX", 35, 26},
    {"PROGRESS", 327, 37},
    {"WATERMARKU", 76, 24},
    {"WATERMARKD", 76, 24},
    {"WATERMARKX", 76, 24},
    {"RESIZEU", 51, 24},
    {"RESIZED", 51, 24},
    {"RESIZEX", 51, 24},
    {"OPTIMIZEU", 66, 24},
    {"OPTIMIZED", 66, 24},
    {"OPTIMIZEX", 66, 24},
    {"RENAMEU", 59, 24},
    {"RENAMED", 59, 24},
    {"RENAMEX", 59, 24},
    {"SETTINGS", 395, 48},
    {"TOGGLEBG", 51, 18},
    {"TOGGLESL", 24, 18},
    {"DOTTED", 95, 95},
    {"CIRCLE", 22, 22},
    {"IMGPICK", 113, 95},
    {"CHOOSE", 81, 33},
    {"MOVE", 13, 13},
    {"ROTATE", 13, 13},
    {"UNDERLINEU", 13, 14},
    {"UNDERLINED", 13, 14},
    {"WMLOCKU", 12, 12},
    {"WMLOCKD", 12, 12},
    {"LOCKU", 14, 14},
    {"LOCKD", 14, 14},
    {"PREVIEWTOP", 8, 32},
    {"PRPROGRESS", 50, 50},
    {"PREVU", 29, 23},
    {"PREVD", 29, 23},
    {"NEXTU", 29, 23},
    {"NEXTD", 29, 23},
    {"PRCLOSEU", 12, 13},
    {"PRCLOSED", 12, 13},
    {"PRMINU", 12, 13},
    {"PRMIND", 12, 13},
    {"CONVERTU", 59, 24},
    {"CONVERTD", 59, 24},
    {"CONVERTX", 59, 24},
}};
// clang-format on

} // namespace rx::skin
