#include "ui/CRXOperationWnd.h"

#include "ui/InterfaceFonts.h"
#include "ui/SkinResources.h"
#include "ui/TextPainter.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QValidator>

namespace rx {

namespace {

// What a number box or a limited text box accepts from the keyboard: at most maxChars
// characters, digits only when asked. Texts the program sets are not checked.
class TypingLimit : public QValidator {
public:
    TypingLimit(int maxChars, bool digitsOnly, QObject* parent)
        : QValidator(parent), m_max(maxChars), m_digits(digitsOnly) {}
    State validate(QString& text, int&) const override {
        if (m_max > 0 && text.size() > m_max)
            return Invalid;
        if (m_digits)
            for (QChar c : text)
                if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                    return Invalid;
        return Acceptable;
    }

private:
    int m_max;
    bool m_digits;
};

} // namespace

CRXOperationWnd::CRXOperationWnd(Operation& record) : m_record(record) {
    setAttribute(Qt::WA_StyledBackground, false);
    hide();
}

CRXOperationWnd::~CRXOperationWnd() = default;

bool CRXOperationWnd::CreatePanel(QWidget* parent) {
    if (!LoadPngResource(QStringLiteral("SETTINGS"), m_background))
        return false;
    setParent(parent);
    setGeometry(0, 0, kPanelWidth, GetPanelHeight());
    hide();
    setFont(ui::RegularFont());
    try {
        CreateControls();
    } catch (const PanelCreationError&) {
        m_modeList = nullptr;
        qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
        setParent(nullptr);
        return false;
    }
    for (QWidget* child : findChildren<QWidget*>()) {
        if (!child->testAttribute(Qt::WA_SetFont))
            child->setFont(ui::RegularFont());
    }
    LoadSettings();
    OnModeChanged();
    return true;
}

bool CRXOperationWnd::IsReady() const {
    return m_record.isReady();
}

void CRXOperationWnd::LoadSettings() {
    if (m_modeList)
        m_modeList->setCurrentIndex(m_record.mode);
    OnModeChanged();
}

QString CRXOperationWnd::CaptionText() const {
    const wchar_t* name = OperationSectionName(m_record.type());
    return name ? QString::fromWCharArray(name) : QString();
}

QWidget* CRXOperationWnd::FindControl(int id) const {
    for (QWidget* child : findChildren<QWidget*>()) {
        const QVariant v = child->property(kControlIdProperty);
        if (v.isValid() && v.toInt() == id)
            return child;
    }
    return nullptr;
}

QRect CRXOperationWnd::GetCaptionRect(int top, int bottom) const {
    return Edges(0, top, 375, bottom);
}

void CRXOperationWnd::OnModeChanged() {
    if (m_modeList)
        m_record.mode = m_modeList->currentIndex();
    NotifySettingsChanged(true);
}

void CRXOperationWnd::FillBackground(QPainter& g, int left, int top, int right, int bottom) {
    // The brush's origin is the panel's, so stacked panels tile without a seam of their own.
    g.fillRect(Edges(left, top, right, bottom), QBrush(m_background));
}

void CRXOperationWnd::NotifySettingsChanged(bool refreshPreview) {
    Q_EMIT SettingsChanged(refreshPreview);
}

void CRXOperationWnd::SetControlId(QWidget& control, int id) {
    control.setProperty(kControlIdProperty, id);
    control.setObjectName(QString::number(id));
}

QComboBox* CRXOperationWnd::CreateList(const QRect& rect, const QStringList& items, int id,
                                       bool editable) {
    auto* list = new QComboBox(this);
    list->setEditable(editable);
    if (id >= 0)
        SetControlId(*list, id);
    list->setFont(ui::RegularFont());
    int h = ui::MeasureStandardControlHeight(*list);
    if (h <= 0)
        h = list->sizeHint().height();
    list->setGeometry(rect.left(), rect.top(), rect.width(), h);
    list->addItems(items);
    list->setCurrentIndex(0);
    if (id == kModeListId) {
        m_modeList = list;
        QObject::connect(list, &QComboBox::activated, this, [this] { OnModeChanged(); });
    }
    return list;
}

QLabel* CRXOperationWnd::CreateLabel(const QString& text, const QRect& rect,
                                     Qt::Alignment alignment) {
    auto* label = new QLabel(text, this);
    label->setGeometry(rect);
    label->setAlignment(alignment);
    label->setAutoFillBackground(false);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

QLineEdit* CRXOperationWnd::CreateEdit(const QRect& rect, int id, int maxChars, bool digitsOnly) {
    auto* edit = new QLineEdit(this);
    SetControlId(*edit, id);
    edit->setGeometry(rect);
    edit->setFrame(true);
    if (maxChars > 0 || digitsOnly)
        edit->setValidator(new TypingLimit(maxChars, digitsOnly, edit));
    return edit;
}

void CRXOperationWnd::paintEvent(QPaintEvent*) {
    QPainter g(this);
    const QRect client = rect();
    FillBackground(g, client.left(), client.top(), client.right() + 1, client.bottom() + 1);
    // The top edge lies just outside: stacked panels read as one frame.
    g.setPen(QPen(QColor::fromRgba(0xFF777777), 1));
    g.setBrush(Qt::NoBrush);
    g.drawRect(client.left(), client.top() - 1, client.width() - 1, client.height());
    TextPainter caption(0xFF000000);
    caption.SetFamilyName(QStringLiteral("Pacifico"));
    caption.SetCollection(ui::PrivateFonts());
    caption.SetHorizontalAlignment(StringAlignment::Far);
    caption.SetVerticalAlignment(StringAlignment::Center);
    caption.SetStyle(FontStyleRegular);
    caption.Draw(g, CaptionText(), 20, GetCaptionRect(5, 45));
}

} // namespace rx
