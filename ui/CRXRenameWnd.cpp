#include "ui/CRXRenameWnd.h"

#include "ui/CToggleButton.h"
#include "ui/InterfaceFonts.h"
#include "ui/NumberMixin.h"
#include "ui/UiHooks.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QValidator>

namespace rx {

namespace {

bool Forbidden(QChar c) {
    if (c.unicode() < 32)
        return true;
    switch (c.unicode()) {
    case '"':
    case '*':
    case '/':
    case ':':
    case '<':
    case '>':
    case '?':
    case '\\':
    case '|':
        return true;
    default:
        return false;
    }
}

// A text box that does not scroll: typing stops where the box is full.
class FitsTheBox : public QValidator {
public:
    explicit FitsTheBox(QLineEdit* box) : QValidator(box), m_box(box) {}
    State validate(QString& text, int&) const override {
        QStyleOptionFrame option;
        option.initFrom(m_box);
        option.lineWidth =
            m_box->hasFrame()
                ? m_box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, m_box)
                : 0;
        const QRect inner =
            m_box->style()->subElementRect(QStyle::SE_LineEditContents, &option, m_box);
        const QMargins margins = m_box->textMargins();
        // The line edit keeps a couple of pixels free on each side of the text.
        const int room = inner.width() - margins.left() - margins.right() - 4;
        return m_box->fontMetrics().horizontalAdvance(text) <= room ? Acceptable : Invalid;
    }

private:
    QLineEdit* m_box;
};

} // namespace

CRXRenameWnd::CRXRenameWnd() : CRXOperationWnd(m_op) {}

QString CRXRenameWnd::CleanText(const QString& text, bool suffix, bool* changed) {
    QString cleaned;
    cleaned.reserve(text.size());
    for (QChar c : text)
        if (!Forbidden(c))
            cleaned.append(c);
    // The open end: where nothing follows (suffix mode) or precedes (prefix mode) the text.
    qsizetype begin = 0, end = cleaned.size();
    if (suffix)
        while (end > 0 && cleaned[end - 1].isSpace())
            --end;
    else
        while (begin < end && cleaned[begin].isSpace())
            ++begin;
    *changed = end - begin != text.size();
    return cleaned.mid(begin, end - begin);
}

void CRXRenameWnd::CreateControls() {
    const int h = ui::StandardControlHeight();
    const int y = 87 - (h + 15);
    const Qt::Alignment middle = Qt::AlignLeft | Qt::AlignVCenter;
    m_prefix = CreateLabel(QStringLiteral("Prefix"), Edges(20, 15, 60, 33), middle);
    m_switch = new CToggleButton;
    try {
        m_switch->CreateSwitch(Edges(65, 15, 116, 33), this, kSwitchId);
    } catch (const std::exception&) {
        delete m_switch;
        m_switch = nullptr;
        throw PanelCreationError("switch images missing");
    }
    QObject::connect(m_switch, &CommandButton::Command, this, [this] { OnModeChanged(); });
    m_suffix = CreateLabel(QStringLiteral("Suffix"), Edges(120, 15, 160, 33), middle);
    m_digits = CreateList(
        Edges(260, y, 325, y + 20),
        {QStringLiteral("0"), QStringLiteral("00"), QStringLiteral("000"), QStringLiteral("0000")},
        kDigitsListId);
    QObject::connect(m_digits, &QComboBox::activated, this, [this](int index) {
        m_op.digits = std::uint32_t(index + 1);
        NotifySettingsChanged(false);
    });
    m_text = CreateEdit(Edges(20, y, 250, y + h), kTextBoxId, 0, false);
    m_text->setValidator(new FitsTheBox(m_text));
    QObject::connect(m_text, &QLineEdit::textChanged, this, [this] {
        ApplyTextRule();
        NotifySettingsChanged(false);
    });
    m_start = CreateEdit(Edges(335, y, 375, y + h), kStartBoxId, 6, true);
    QObject::connect(m_start, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_op.startWith = std::uint32_t(LeadingDecimal(text));
        NotifySettingsChanged(false);
    });
}

bool CRXRenameWnd::IsReady() const {
    return m_op.isReady() && m_start && !m_start->text().isEmpty();
}

void CRXRenameWnd::LoadSettings() {
    m_switch->LoadState(m_op.mode == RenameOp::Suffix);
    m_text->setText(QString::fromStdWString(m_op.common));
    m_digits->setCurrentIndex(m_op.digits == 0 ? 0 : int(m_op.digits) - 1);
    m_start->setText(QString::number(m_op.startWith));
    OnModeChanged();
}

void CRXRenameWnd::OnModeChanged() {
    m_op.mode = m_switch->State() ? RenameOp::Suffix : RenameOp::Prefix;
    const bool suffix = m_op.mode == RenameOp::Suffix;
    const int y = m_text->y();
    if (suffix) {
        m_digits->move(20, y);
        m_start->move(95, y);
        m_text->move(145, y);
    } else {
        m_text->move(20, y);
        m_digits->move(260, y);
        m_start->move(335, y);
    }
    m_prefix->setFont(suffix ? ui::RegularFont() : ui::BoldFont());
    m_suffix->setFont(suffix ? ui::BoldFont() : ui::RegularFont());
    ApplyTextRule();
    NotifySettingsChanged(false);
}

void CRXRenameWnd::ApplyTextRule() {
    bool changed = false;
    const QString before = m_text->text();
    const bool suffix = m_op.mode == RenameOp::Suffix;
    const QString cleaned = CleanText(before, suffix, &changed);
    if (changed && !m_inRule) {
        // Written back at once; the change this raises finds the text clean.
        ui::Beep();
        const int cursor = m_text->cursorPosition();
        // The caret stays after the same character: less what was removed before it.
        int kept = 0;
        for (QChar c : before.left(cursor))
            kept += Forbidden(c) ? 0 : 1;
        if (!suffix) {
            int lead = 0;
            for (QChar c : before)
                if (!Forbidden(c) && !c.isSpace())
                    break;
                else if (!Forbidden(c))
                    ++lead;
            kept -= lead;
        }
        m_inRule = true;
        m_text->setText(cleaned);
        m_inRule = false;
        m_text->setCursorPosition(qBound(0, kept, int(cleaned.size())));
    }
    m_op.common = cleaned.toStdWString();
}

void CRXRenameWnd::NotifySettingsChanged(bool) {
    CRXOperationWnd::NotifySettingsChanged(false);
}

} // namespace rx
