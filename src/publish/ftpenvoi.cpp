#include "publish/ftpenvoi.h"

#include "platform/modules.h"
#include "platform/saferead.h"
#include "publish/transfertcurl.h"

#include <QFileInfo>
#include <QThread>

namespace corvane {
namespace {

// Loaded by the first caller, from any thread; the others wait for it.
const TableModule<TableCurl>& curl()
{
    static const auto module =
        chargeTable<TableCurl>(kModuleEnvoi, "corvane_table_curl", kVersionTableCurl, "d'envoi");
    return module;
}

} // namespace

UrlFtp construitUrlFtp(const QString& hebergeur, const QString& cheminDistant,
                       ProtocoleFtp protocole)
{
    if (const TableCurl* t = curl().table) {
        return t->construitUrlFtp(hebergeur, cheminDistant, protocole);
    }
    UrlFtp r;
    r.erreur = curl().erreur;
    return r;
}

TransfertFtp::TransfertFtp(DemandeFtp demande, ReadResult fichier, const std::atomic<bool>* arret)
    : demande_(std::move(demande)), fichier_(std::move(fichier)), arret_(arret)
{}

void TransfertFtp::execute()
{
    if (const TableCurl* t = curl().table) {
        t->transfere(*this, demande_, fichier_, arret_);
    } else {
        emit etape(EtatAucun, curl().erreur);
    }
}

// libcurl, its global set-up and the libraries it pulls in wait for the first upload: a
// watcher that never uploads does not pay for them.
EnvoiFtp::EnvoiFtp(QObject* parent) : QObject(parent) {}

EnvoiFtp::~EnvoiFtp()
{
    arret_ = true;
    if (thread_) {
        thread_->wait();
        delete thread_;
    }
    delete transfert_;
}

void EnvoiFtp::envoie(const DemandeFtp& demande)
{
    // Read now: by the time a waiting upload starts, a later change may have rewritten the
    // file, and each upload must send the page of its own change. Only a regular file is
    // read, so a FIFO in its place cannot hold the window.
    Envoi e{demande, readWholeFile(demande.fichierLocal, kTailleMaxEnvoi)};
    if (!e.fichier.ok) {
        QString raison = e.fichier.raison;
        if (const QFileInfo f(demande.fichierLocal); f.isFile() && f.size() > kTailleMaxEnvoi) {
            raison += QStringLiteral(" (plus de %1 Mio)").arg(kTailleMaxEnvoi >> 20);
        }
        e.fichier.raison = QStringLiteral("%1 : %2").arg(demande.fichierLocal, raison);
    }
    if (occupe()) {
        attente_ = std::move(e);
        return;
    }
    demarre(e);
}

void EnvoiFtp::demarre(const Envoi& envoi)
{
    curl(); // loaded (and libcurl set up) on the owner's thread, before any worker
    transfert_ = new TransfertFtp(envoi.demande, envoi.fichier, &arret_);
    connect(
        transfert_, &TransfertFtp::etape, this,
        [this](int etat, const QString& raison) {
            if (!raison.isEmpty()) {
                derniereErreur_ = raison;
            }
            emit this->etat(etat, raison);
        },
        Qt::QueuedConnection);
    TransfertFtp* t = transfert_;
    thread_ = QThread::create([t] { t->execute(); });
    // Queued behind the transfer's last stage, which left the thread before it finished.
    connect(thread_, &QThread::finished, this, &EnvoiFtp::transfertFini, Qt::QueuedConnection);
    thread_->start();
}

void EnvoiFtp::transfertFini()
{
    thread_->wait(); // already past its last instruction: a join, not a wait
    delete thread_;
    thread_ = nullptr;
    delete transfert_;
    transfert_ = nullptr;
    if (attente_) {
        const Envoi suivant = std::move(*attente_);
        attente_.reset();
        demarre(suivant);
    }
}

} // namespace corvane
