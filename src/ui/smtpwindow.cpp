#include "ui/smtpwindow.h"

#include "config/parametres.h"
#include "console/consolelink.h"
#include "mail/message.h"
#include "mail/smtpdialogue.h"
#include "mail/utc.h"
#include "ui/richtextview.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <QTimer>

namespace corvane {

namespace {

constexpr int kTwipsParPixel = 15;

QRect enPixels(int gauche, int haut, int largeur, int hauteur)
{
    return {gauche / kTwipsParPixel, haut / kTwipsParPixel, largeur / kTwipsParPixel,
            hauteur / kTwipsParPixel};
}

const QString kCrLf = QStringLiteral("\r\n");

} // namespace

SmtpWindow::SmtpWindow(ConsoleLink& console, Platform platform, QWidget* parent)
    : QWidget(parent, Qt::Window), console_(console), platform_(platform)
{
    setObjectName(QStringLiteral("smtp"));
    setWindowTitle(QStringLiteral("LOG - Debug transfert smtp"));
    setFixedSize(8925 / kTwipsParPixel, 4815 / kTwipsParPixel);
    {
        // MS Sans Serif 8.25 pt is absent here: a sans face of close metrics, at its size.
        QFont f(QStringLiteral("Liberation Sans"));
        f.setStyleHint(QFont::SansSerif);
        f.setPointSizeF(8.25);
        setFont(f);
    }

    rtxtLog_ = new RichTextView(this);
    rtxtLog_->setObjectName(QStringLiteral("rtxtLog"));
    rtxtLog_->setGeometry(enPixels(120, 120, 8655, 3015));
    rtxtLog_->setReadOnly(true);
    rtxtLog_->setLineWrapMode(QTextEdit::NoWrap);
    rtxtLog_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    rtxtLog_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    text1_ = new QLineEdit(QStringLiteral("l"), this);
    text1_->setObjectName(QStringLiteral("text1"));
    text1_->setGeometry(enPixels(120, 3240, 8655, 330));
    {
        // The activity strip: menu-coloured, written in the active title bar's colour.
        QPalette p = text1_->palette();
        p.setColor(QPalette::Base, QApplication::palette().color(QPalette::Window));
        p.setColor(QPalette::Text, QApplication::palette().color(QPalette::Highlight));
        text1_->setPalette(p);
        QFont f = font();
        f.setPointSizeF(9.75);
        text1_->setFont(f);
    }

    Label1_ = new QLabel(QStringLiteral("Adresse Mail Disponible"), this);
    Label1_->setObjectName(QStringLiteral("Label1"));
    Label1_->setGeometry(enPixels(3600, 3720, 1815, 255));

    List1_ = new QListWidget(this);
    List1_->setObjectName(QStringLiteral("List1"));
    List1_->setGeometry(enPixels(120, 3960, 8655, 645));

    setTabOrder(rtxtLog_, text1_);
    setTabOrder(text1_, List1_);

    ws_ = new SmtpDialogue(this);
    connect(ws_, &SmtpDialogue::journal, this, &SmtpWindow::ajouteAuLog);
    connect(ws_, &SmtpDialogue::activite, this, [this] {
        ++activitesEnAttente_;
        if (isVisible()) {
            montreEnAttente();
        }
    });
    connect(ws_, &SmtpDialogue::erreurSocket, this, [this](int numero, const QString& texte) {
        platform_.boxes->notify(QStringLiteral("smtp"), kTitreApplication,
                                QString::number(numero) + QStringLiteral(" : ") + texte,
                                MessageBoxes::Icon::Critical);
    });
    connect(ws_, &SmtpDialogue::termine, this, &SmtpWindow::finEnvoi);
}

SmtpWindow::~SmtpWindow() = default;

void SmtpWindow::InitSmtp()
{
    const Parametres& p = console_.parametres();
    List1_->clear();
    for (const QString& adresse : p.Adresses) {
        List1_->addItem(adresse);
    }
    // The empty last entry ends the mailing loop after a tenth address.
    List1_->addItem(QString());
    serveur_ = p.ServeurSmtp;
    expediteur_ = p.MessageDe;
    sujetMail_ = p.Sujet;
    securite_ = p.SecuriteSmtp;
    utilisateur_ = p.UtilisateurSmtp;
    motDePasse_ = p.MotDePasseSmtp;
    adresseExpediteur_ = p.AdresseExpediteur;
    certificat_ = p.CertificatSmtp;
}

void SmtpWindow::setDelais(int connexionMs, int reponseMs)
{
    ws_->setDelais(connexionMs, reponseMs);
}

QString SmtpWindow::texteLog() const
{
    return rtxtLog_->text() + logEnAttente_;
}

void SmtpWindow::showEvent(QShowEvent* event)
{
    montreEnAttente();
    QWidget::showEvent(event);
}

void SmtpWindow::montreEnAttente()
{
    if (!logEnAttente_.isEmpty()) {
        rtxtLog_->appendText(logEnAttente_);
        logEnAttente_.clear();
        rtxtLog_->caretALaFin();
    }
    if (activitesEnAttente_ > 0) {
        text1_->setText(text1_->text() + QStringLiteral("ll").repeated(activitesEnAttente_));
        activitesEnAttente_ = 0;
    }
}

void SmtpWindow::BoucleSend(std::function<void()> termine)
{
    if (!console_.mailOn()) {
        // A mailing under way keeps its own count and report.
        if (!enCours_) {
            numMail_ = 0;
            rapport_.clear();
        }
        if (termine) {
            termine();
        }
        return;
    }
    // Stamp and body belong to this change, even when the mailing has to wait its turn.
    texteUTC_ = HeureUTC(*platform_.clock);
    attente_.push_back(
        {corvane::CorpsMail(console_.parametres().Message, console_.ipActuelle(), texteUTC_),
         std::move(termine)});
    demarreMailingSuivant();
}

void SmtpWindow::demarreMailingSuivant()
{
    if (enCours_ || attente_.empty()) {
        return;
    }
    Mailing m = std::move(attente_.front());
    attente_.pop_front();
    enCours_ = true;
    corpsMail_ = m.corps;
    termineEnCours_ = std::move(m.termine);
    rapport_.clear();
    numMail_ = adresseSuivante(-1);
    if (numMail_ < 0) {
        // No address at all: no dialogue, and the empty report.
        finMailing();
        return;
    }
    EnvoiSmtp();
}

QString SmtpWindow::entreeListe(int index) const
{
    return index >= 0 && index < List1_->count() ? List1_->item(index)->text() : QString();
}

int SmtpWindow::adresseSuivante(int apres) const
{
    for (int i = apres + 1; i < List1_->count(); ++i) {
        if (!entreeListe(i).isEmpty()) {
            return i;
        }
    }
    return -1;
}

void SmtpWindow::EnvoiSmtp()
{
    destinataire_ = entreeListe(numMail_);
    EnvoiMail envoi;
    envoi.serveur = serveur_;
    envoi.expediteur = expediteur_;
    envoi.destinataire = destinataire_;
    envoi.sujet = sujetMail_;
    envoi.corps = corpsMail_;
    envoi.securite = securite_;
    envoi.utilisateur = utilisateur_;
    envoi.motDePasse = motDePasse_;
    envoi.adresseExpediteur = adresseExpediteur_;
    envoi.certificat = certificat_;
    envoi.date = platform_.clock->now();
    ws_->envoie(envoi);
}

void SmtpWindow::ajouteBloc(int index, const QString& adresse, const ResultatEnvoi& resultat)
{
    rapport_ += QStringLiteral("Mail N°") + QString::number(index + 1) + kCrLf + adresse + kCrLf +
                (resultat.envoye ? QStringLiteral("... expe OK")
                                 : QStringLiteral("... expe ERREUR : ") + resultat.raison) +
                kCrLf;
}

void SmtpWindow::finEnvoi(const ResultatEnvoi& resultat)
{
    ajouteBloc(numMail_, destinataire_, resultat);
    if (console_.audioOn()) {
        platform_.sound->play(SoundPlayer::Sound::Mail);
    }
    int suivante = adresseSuivante(numMail_);
    if (resultat.connexion) {
        // The next dialogues would meet the same failure (and each its own wait).
        for (; suivante >= 0; suivante = adresseSuivante(suivante)) {
            ajouteBloc(suivante, entreeListe(suivante), resultat);
        }
    }
    if (suivante >= 0) {
        numMail_ = suivante;
        // The next dialogue starts from the event loop, so that the window, the console's
        // timer and the user are served between two mails.
        QTimer::singleShot(0, this, &SmtpWindow::EnvoiSmtp);
        return;
    }
    finMailing();
}

void SmtpWindow::finMailing()
{
    montreEnAttente();
    console_.journal(rapport_);
    numMail_ = 0;
    rapport_.clear();
    enCours_ = false;
    std::function<void()> termine = std::move(termineEnCours_);
    termineEnCours_ = nullptr;
    QTimer::singleShot(0, this, &SmtpWindow::demarreMailingSuivant);
    if (termine) {
        termine();
    }
}

void SmtpWindow::ajouteAuLog(const QString& entree)
{
    logEnAttente_ += kCrLf + entree;
    if (isVisible()) {
        montreEnAttente();
    }
}

} // namespace corvane
