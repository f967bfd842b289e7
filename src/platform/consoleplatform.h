#pragma once
// The platform layers of a program without a display: what a box would say goes to standard
// error, sounds are not played, and no link is ever opened (there are no links to click).

#include "platform/platform.h"

#include <QHash>

#include <cstdio>

namespace corvane {

// Writes text and a line end to the stream at once, in UTF-8.
void printLine(std::FILE* stream, const QString& text);

class ConsoleMessageBoxes : public MessageBoxes {
public:
    explicit ConsoleMessageBoxes(std::FILE* stream = stderr) : stream_(stream) {}
    // Nobody is there to answer: the question is written and its default button (Yes) taken.
    bool ask(const QString& title, const QString& text) override;
    void inform(const QString& title, const QString& text, Icon icon) override;
    // A box nobody can close would stay open for good and keep its channel silent; instead a
    // channel stays silent only while it would repeat what it said last.
    bool notify(const QString& channel, const QString& title, const QString& text,
                Icon icon) override;
    void closeAll() override { said_.clear(); }

private:
    void say(const QString& title, const QString& text, Icon icon);
    std::FILE* stream_;
    QHash<QString, QString> said_; // channel -> the text it said last
};

class SilentSoundPlayer : public SoundPlayer {
public:
    void play(Sound) override {}
};

} // namespace corvane
