#include "Oddsandsods.h"

#include "messages.h"

void msgBox(const char* caption, const QString& text) {
    platform::messageBox(QString::fromUtf8(caption), text, platform::MessageIcon::None);
}
