#include "platform/consoleplatform.h"

namespace corvane {

void printLine(std::FILE* stream, const QString& text)
{
    const QByteArray line = text.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, std::size_t(line.size()), stream);
    std::fflush(stream); // read as it happens, also through a pipe or the service's journal
}

void ConsoleMessageBoxes::say(const QString& title, const QString& text, Icon icon)
{
    const char* kind = "";
    switch (icon) {
    case Icon::Warning:
        kind = " (avertissement)";
        break;
    case Icon::Critical:
        kind = " (erreur)";
        break;
    case Icon::Information:
    case Icon::Question:
        break;
    }
    // One line each: a box's own line breaks only laid its text out.
    printLine(stream_, title + QLatin1String(kind) + QStringLiteral(" : ") + text.simplified());
}

bool ConsoleMessageBoxes::ask(const QString& title, const QString& text)
{
    say(title, text, Icon::Question);
    return true;
}

void ConsoleMessageBoxes::inform(const QString& title, const QString& text, Icon icon)
{
    say(title, text, icon);
}

bool ConsoleMessageBoxes::notify(const QString& channel, const QString& title, const QString& text,
                                 Icon icon)
{
    if (auto it = said_.constFind(channel); it != said_.constEnd() && it.value() == text) {
        return false;
    }
    said_.insert(channel, text);
    say(title, text, icon);
    return true;
}

} // namespace corvane
