// A button with a fixed control id that reports to its owner with Command(id): the signal
// stands for the command notification a control sends its parent, which then reads the
// value back from the control.
#pragma once

#include <QAbstractButton>

namespace rx {

class CommandButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CommandButton(QWidget* parent = nullptr) : QAbstractButton(parent) {}

    void SetControlId(int id) { m_id = id; }
    int ControlId() const { return m_id; }

Q_SIGNALS:
    void Command(int id);

protected:
    void EmitCommand() { Q_EMIT Command(m_id); }

private:
    int m_id = -1;
};

} // namespace rx
