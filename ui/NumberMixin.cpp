#include "ui/NumberMixin.h"

namespace rx {

int LeadingDecimal(const QString& text) {
    long long value = 0;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        value = value * 10 + (c.unicode() - '0');
        if (value > 0x7FFFFFFF)
            return 0x7FFFFFFF;
    }
    return int(value);
}

} // namespace rx
