// The base of the four operation settings panels: a hidden child window of the main window,
// 395 px wide and of a fixed height per operation, that edits its operation's record in
// place. It paints the tiled "SETTINGS" background, the frame and the "Pacifico" caption,
// owns the mode list (id 1200) of the panels that have modes, and reports every settings
// change with SettingsChanged. UI thread only.
#pragma once

#include <QImage>
#include <QRect>
#include <QStringList>
#include <QWidget>
#include <stdexcept>

#include "engine/Operation.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPainter;

namespace rx {

// Thrown by CreateControls when a control cannot be made (a missing image).
class PanelCreationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class CRXOperationWnd : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPanelWidth = 395;
    static constexpr int kModeListId = 1200;
    // Dynamic property holding a child control's id.
    static constexpr const char* kControlIdProperty = "rxControlId";

    // The record is a member of the concrete panel and lives as long as it.
    explicit CRXOperationWnd(Operation& record);
    ~CRXOperationWnd() override;

    // Makes the panel a hidden child of the parent at (0, 0, 395, GetPanelHeight), creates its
    // controls, sets the regular interface font on it and every child, then LoadSettings and
    // OnModeChanged. False (and no controls) when the background or a control is missing.
    bool CreatePanel(QWidget* parent);

    // The fixed height: Watermark 205, Resize 80, Optimize 96, Rename 87.
    virtual int GetPanelHeight() const = 0;
    // Base name of the toggle's state images: "WATERMARK", "RESIZE", "OPTIMIZE", "RENAME".
    virtual QString GetIconName() const = 0;
    // The toggle's tooltip: "Add Watermark", "Resize", "Optimize", "Bulk Rename".
    virtual QString GetTitle() const = 0;
    // Whether the operation can run with these settings: the record's isReady by default.
    virtual bool IsReady() const;
    // Shows the record in the controls (after a preset was applied): the base selects the
    // mode list entry of the record's mode and runs OnModeChanged.
    virtual void LoadSettings();

    // The caption: the record's preset section name ("Watermark", "Bulk Resize", ...).
    QString CaptionText() const;
    Operation& Record() { return m_record; }
    const Operation& Record() const { return m_record; }
    // The mode list (id 1200); null for Rename and before creation.
    QComboBox* ModeList() const { return m_modeList; }
    // The child control with the id, or null.
    QWidget* FindControl(int id) const;

Q_SIGNALS:
    // A setting changed; refreshPreview is true when the processed image changes too
    // (Watermark, Resize and Optimize always send true, Rename always false).
    void SettingsChanged(bool refreshPreview);

protected:
    // Creates the panel's controls; throws PanelCreationError on any failure.
    virtual void CreateControls() = 0;
    // Where the caption is centred: (0, top, 375, bottom) by default.
    virtual QRect GetCaptionRect(int top, int bottom) const;
    // The record's mode = the mode list's selection, then NotifySettingsChanged (true).
    virtual void OnModeChanged();
    // Fills the rectangle with the background image, tiled from the panel's origin.
    virtual void FillBackground(QPainter& g, int left, int top, int right, int bottom);
    // Emits SettingsChanged.
    virtual void NotifySettingsChanged(bool refreshPreview);

    // The drop-down list routine: a list at (left, top) with the standard control height
    // (measured here from the first list), the regular font, the items, entry 0 selected.
    // The list reports only user choices (activated). Id 1200 becomes the mode list, whose
    // choices run OnModeChanged.
    QComboBox* CreateList(const QRect& rect, const QStringList& items, int id,
                          bool editable = false);
    // A label (transparent over the background) with the alignment.
    QLabel* CreateLabel(const QString& text, const QRect& rect, Qt::Alignment alignment);
    // A framed edit; digitsOnly and maxChars limit what can be typed (a text set by the
    // program is taken whole).
    QLineEdit* CreateEdit(const QRect& rect, int id, int maxChars, bool digitsOnly);
    // Tags a child with its control id.
    static void SetControlId(QWidget& control, int id);
    // The rectangle with these edges (left, top, right, bottom), right and bottom excluded.
    static QRect Edges(int left, int top, int right, int bottom) {
        return QRect(left, top, right - left, bottom - top);
    }

    void paintEvent(QPaintEvent* e) override;

private:
    Operation& m_record;
    QComboBox* m_modeList = nullptr;
    QImage m_background;
};

} // namespace rx
