#include "platform/qtplatform.h"

#include "platform/modules.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLoggingCategory>
#include <QMessageBox>

namespace corvane {
namespace {

QMessageBox::Icon toQt(MessageBoxes::Icon icon)
{
    switch (icon) {
    case MessageBoxes::Icon::Information:
        return QMessageBox::Information;
    case MessageBoxes::Icon::Question:
        return QMessageBox::Question;
    case MessageBoxes::Icon::Warning:
        return QMessageBox::Warning;
    case MessageBoxes::Icon::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

Q_LOGGING_CATEGORY(lcSon, "corvane.son")

} // namespace

bool QtMessageBoxes::ask(const QString& title, const QString& text)
{
    // The engine marks its questions for translation in its own context; a text without a
    // translation shows as it comes.
    const QString texte = QCoreApplication::translate("corvane::Moteur", text.toUtf8().constData());
    QMessageBox box(QMessageBox::Question, title, texte, QMessageBox::Yes | QMessageBox::No,
                    owner_);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void QtMessageBoxes::inform(const QString& title, const QString& text, Icon icon)
{
    QMessageBox box(toQt(icon), title, text, QMessageBox::Ok, owner_);
    box.exec();
}

bool QtMessageBoxes::notify(const QString& channel, const QString& title, const QString& text,
                            Icon icon)
{
    if (auto it = open_.find(channel); it != open_.end() && !it.value().isNull()) {
        return false;
    }
    auto* box = new QMessageBox(toQt(icon), title, text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    // Outside text shown as plain text, never interpreted as markup.
    box->setTextFormat(Qt::PlainText);
    open_.insert(channel, box);
    box->show();
    return true;
}

void QtMessageBoxes::closeAll()
{
    for (const QPointer<QMessageBox>& box : std::as_const(open_)) {
        if (box) {
            box->close(); // deletes it
        }
    }
    open_.clear();
}

// The audio stack is loaded with the first sound, not at start: a watcher whose sounds are off
// never maps it.
QtSoundPlayer::QtSoundPlayer() = default;

QtSoundPlayer::~QtSoundPlayer() = default;

void QtSoundPlayer::play(Sound sound)
{
    if (!essaye_) {
        essaye_ = true;
        const EntreeModule m = chargeModule(kModuleSon, "corvane_lecteur_son");
        if (m.fonction) {
            lecteur_.reset(reinterpret_cast<SoundPlayer* (*)()>(m.fonction)());
        } else {
            // As without an audio device: nothing heard, the change goes on.
            qCWarning(lcSon) << "no sound:" << m.erreur;
        }
    }
    if (lecteur_) {
        lecteur_->play(sound);
    }
}

bool QtLinkOpener::open(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https") &&
        scheme != QLatin1String("mailto")) {
        return false;
    }
    return QDesktopServices::openUrl(url);
}

} // namespace corvane
