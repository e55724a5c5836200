// The watermark image picker: a frame showing the chosen image fitted inside it, with a
// "browse" overlay when empty, hovered or focused. A click opens the file dialog; a dropped
// file is loaded like a chosen one. Reports a new image with Command(1213).
#pragma once

#include "engine/ImageFile.h"
#include "ui/CFileDropTarget.h"
#include "ui/FocusMixin.h"
#include "ui/OwnerDrawButton.h"

#include <QImage>

namespace rx {

class CImagePicker : public FocusMixin<OwnerDrawButton> {
public:
    static constexpr int kControlId = 1213;
    static inline const QString kFilter = QString::fromLatin1(kImageFileFilter);
    static inline const QString kAnimatedText = QStringLiteral(
        "You've just chosen an animated image as the watermark. Only first frame of it will be "
        "applied.");
    static inline const QString kAnimatedCaption = QStringLiteral("Animated GIF file found");

    class DropTarget : public CFileDropTarget {
    public:
        explicit DropTarget(CImagePicker& picker) : m_picker(picker) {}
        bool OnDropFile(QWidget* window, const QString& path) override;

    private:
        CImagePicker& m_picker;
    };

    CImagePicker();
    bool CreatePicker(const QRect& rect, QWidget* parent);

    // Decodes the file into the thumbnail. fromUser: a user's choice (shows the animated
    // image message and notifies). A file that does not decode changes nothing.
    bool LoadImageFile(const QString& path, bool fromUser);

    const QString& Path() const { return m_path; }
    int NaturalWidth() const { return m_naturalWidth; }
    int NaturalHeight() const { return m_naturalHeight; }
    const QImage& Thumbnail() const { return m_thumbnail; }
    bool IsHovering() const { return m_hover; }
    // Whether the "browse" overlay shows now.
    bool ShowsChooser() const;

    // Where an image of the size is drawn in a frame of the size, keeping its aspect ratio.
    static QRectF FitRect(const QSizeF& image, const QSizeF& frame);

protected:
    void Paint(QPainter& g, const DrawItem& item) override;
    void enterEvent(QEnterEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    void Browse();

    DropTarget m_dropTarget;
    QImage m_frame;
    QImage m_choose;
    QImage m_thumbnail;
    bool m_hover = false;
    QString m_path;
    int m_naturalWidth = 0;
    int m_naturalHeight = 0;
};

} // namespace rx
