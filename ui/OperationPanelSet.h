// The four operation panels (Watermark, Resize, Optimize, Rename, in this order; the index
// is the operation's kind everywhere) and their four toggles (ids 1110 to 1113) on the main
// window. The set is the job's source of operations and the one place that decides which
// operations go into a job: those whose toggle is checked and whose panel is ready. It moves
// all settings to and from a preset document. UI thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <array>
#include <string>

#include "engine/RXWorker.h"
#include "presets/PresetDocument.h"
#include "ui/CImageCheckbox.h"
#include "ui/CRXOperationWnd.h"

class QWidget;

namespace rx {

class CRXOptimizeWnd;
class CRXRenameWnd;
class CRXResizeWnd;
class CRXWatermarkWnd;

class OperationPanelSet : public QObject, public OperationSource {
    Q_OBJECT
public:
    static constexpr int kToggleBaseId = 1110;

    // Makes the four panels and their records (no windows yet).
    OperationPanelSet();
    // Deletes the panels and toggles that still exist (a parent that was destroyed first has
    // deleted its own).
    ~OperationPanelSet() override;

    // Creates each panel as a hidden child of the parent, and its toggle at (x, y) from the
    // panel's icon images with the panel's title as tooltip; x grows by the toggle's width
    // plus 2. False at the first failure.
    bool CreateAll(QWidget* parent, int x, int y);
    // Stacks the panels of the enabled, checked toggles from y = top down, hides the others;
    // returns the total height of the shown panels.
    int Layout(int top);

    // Applies a preset document to the records and the toggles, then shows it in every panel.
    // A text that does not parse changes nothing and gives false. Toggles are set without a
    // ToggleClicked; the caller lays out again.
    bool ApplyPreset(const std::wstring& json);
    // The document of the records whose toggle is checked.
    std::wstring SavePreset() const;

    CRXOperationWnd& Panel(int index) const;
    CRXWatermarkWnd& Watermark() const;
    CRXResizeWnd& Resize() const;
    CRXOptimizeWnd& Optimize() const;
    CRXRenameWnd& Rename() const;
    // The toggle of a panel; null before CreateAll.
    CImageCheckbox* Toggle(int index) const;
    // The four records in panel order.
    OperationRecords Records() const;

    // The toggle is checked (the operation is switched on).
    bool IsSwitchedOn(int index) const;
    // Checks or unchecks a toggle (no ToggleClicked).
    void SetSwitchedOn(int index, bool on);
    // The operation goes into a job: its toggle is checked and its panel is ready.
    bool TakesPart(int index) const;
    // Some operation would go into a job.
    bool AnyTakesPart() const;
    // Before START: unchecks every checked toggle whose panel is not ready. True when a toggle
    // changed (the caller lays out again).
    bool UncheckUnready();
    // While a job runs the toggles and the panels are disabled; false enables them again.
    void SetJobRunning(bool running);

    // OperationSource: the record of a slot that takes part, else null.
    const Operation* ReadyOperation(int slot) const override;

Q_SIGNALS:
    // A panel's settings changed; refreshPreview as the panel sent it (Rename: false).
    void SettingsChanged(bool refreshPreview);
    // The user clicked a toggle (its check has already changed); the main window lays out.
    void ToggleClicked(int index);

private:
    std::array<QPointer<CRXOperationWnd>, kOperationCount> m_panels;
    std::array<QPointer<CImageCheckbox>, kOperationCount> m_toggles;
};

} // namespace rx
