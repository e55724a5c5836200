// A link drawn as bold white text; a click opens the prefix followed by the URL.
#pragma once

#include "ui/CommandButton.h"

namespace rx {

class RXLinkCtrl : public CommandButton {
public:
    RXLinkCtrl();

    void SetURL(const QString& url) { m_url = url; }
    const QString& URL() const { return m_url; }
    void SetURLPrefix(const QString& prefix) { m_prefix = prefix; }
    void SetMultiline(bool multiline) { m_multiline = multiline; }
    // The size the text needs in the bold font.
    QSize TextSize() const;
    // Sizes the link to its text, centred both ways in the rectangle.
    void SizeToContent(const QRect& within);
    // The address a click opens.
    QUrl Target() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QFont BoldFont() const;

    QString m_url;
    QString m_prefix;
    bool m_multiline = false;
};

} // namespace rx
