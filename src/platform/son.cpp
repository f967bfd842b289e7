// The sound module, libcorvane_son.so: the player on Qt Multimedia, whose audio stack
// (PulseAudio, libsndfile, the codecs) is loaded with the first sound, not at start.

#include "platform/platform.h"

#include <QSoundEffect>
#include <QUrl>

#include <memory>

namespace corvane {
namespace {

std::unique_ptr<QSoundEffect> effet(const char* source)
{
    auto e = std::make_unique<QSoundEffect>();
    e->setSource(QUrl(QString::fromLatin1(source)));
    return e;
}

class LecteurSon : public SoundPlayer {
public:
    void play(Sound sound) override
    {
        // Each sound keeps its own buffer; a new sound stops the one still playing.
        change_->stop();
        mail_->stop();
        (sound == Sound::Change ? change_ : mail_)->play();
    }

private:
    std::unique_ptr<QSoundEffect> change_ = effet("qrc:/sounds/change.wav");
    std::unique_ptr<QSoundEffect> mail_ = effet("qrc:/sounds/mail.wav");
};

} // namespace
} // namespace corvane

// The module's one entry point, looked up by name; the caller owns the player.
extern "C" __attribute__((visibility("default"))) corvane::SoundPlayer* corvane_lecteur_son()
{
    return new corvane::LecteurSon;
}
