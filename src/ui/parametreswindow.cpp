#include "ui/parametreswindow.h"

#include "config/fichierini.h"
#include "config/validation.h"
#include "mail/message.h"
#include "mail/utc.h"
#include "platform/atomicfile.h"
#include "platform/trousseau.h"
#include "publish/ftpenvoi.h"
#include "publish/publication.h"
#include "reseau/differe.h"
#include "watch/moteur.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace corvane {

namespace {

constexpr int kDelaiPageMs = 10000;      // each detection page
constexpr int kDelaiSmtpMs = 15000;      // the connection, then each reply
constexpr int kDelaiFtpSec = 15;         // the connection, then each silence
constexpr int kDelaiTrousseauMs = 15000; // both passwords stored
const QString kFichierEssai = QStringLiteral("corvane-test.txt");

enum class Editeur { Ligne, MotDePasse, Choix, Case };

} // namespace

struct FenetreParametres::Champ {
    int onglet = 0;
    QString nom; // the object name: the member of Parametres it edits
    QString Parametres::*membre = nullptr;
    int adresse = -1; // Adresses[adresse] when membre is null
    const char* legende = "";
    GenreValeur genre = GenreValeur::Texte;
    Editeur editeur = Editeur::Ligne;
    QStringList choix;    // Choix: the values written; the first one is the default
    QStringList libelles; // Choix: what the list shows, when not the values themselves
    bool obligatoire = false;
};

struct FenetreParametres::Saisie {
    const Champ* champ = nullptr;
    QLineEdit* ligne = nullptr;
    QComboBox* liste = nullptr;
    QCheckBox* boite = nullptr;
    QLabel* erreur = nullptr;
    QString initial;      // the value shown at the start
    int indexInitial = 0; // Choix

    // Lists and boxes give back the text they were given while the user leaves them as they
    // were: "" and "aucune" mean the same, and only a change may rewrite a key.
    QString valeur() const
    {
        if (liste) {
            return liste->currentIndex() == indexInitial ? initial
                                                         : liste->currentData().toString();
        }
        if (boite) {
            return boite->isChecked() == (initial == u"1") ? initial
                                                           : texteOption(boite->isChecked());
        }
        return ligne->text();
    }
};

namespace {

using Champ = FenetreParametres::Champ;

QString& membre(Parametres& p, const Champ& c)
{
    return c.membre ? p.*c.membre : p.Adresses[std::size_t(c.adresse)];
}

Champ champ(int onglet, const char* nom, QString Parametres::*m, const char* legende,
            GenreValeur genre = GenreValeur::Texte, Editeur editeur = Editeur::Ligne)
{
    Champ c;
    c.onglet = onglet;
    c.nom = QString::fromLatin1(nom);
    c.membre = m;
    c.legende = legende;
    c.genre = genre;
    c.editeur = editeur;
    return c;
}

Champ liste(int onglet, const char* nom, QString Parametres::*m, const char* legende,
            QStringList choix, QStringList libelles = {})
{
    Champ c = champ(onglet, nom, m, legende, GenreValeur::Texte, Editeur::Choix);
    c.choix = std::move(choix);
    c.libelles = std::move(libelles);
    return c;
}

Champ boite(const char* nom, QString Parametres::*m, const char* legende)
{
    return champ(4, nom, m, legende, GenreValeur::Texte, Editeur::Case);
}

// Every key the window edits, tab by tab, in the file's order.
const std::vector<Champ>& champs()
{
    static const std::vector<Champ> table = [] {
        using G = GenreValeur;
        using P = Parametres;
        const Editeur cache = Editeur::MotDePasse;
        std::vector<Champ> t{
            champ(0, "AdresseDetect", &P::AdresseDetect,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "adresse de IP detect.php"),
                  G::Url),
            champ(0, "AdresseSecours", &P::AdresseSecours,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "adresse de secours"), G::Url),
            liste(0, "Famille", &P::Famille,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Famille"),
                  {"auto", "ipv4", "ipv6"}),
            champ(0, "CertificatHttp", &P::CertificatHttp,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Certificat"), G::Fichier),
            champ(1, "ServeurSmtp", &P::ServeurSmtp,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Serveur smtp"), G::HotePort),
            liste(1, "SecuriteSmtp", &P::SecuriteSmtp,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Securite"),
                  {"aucune", "starttls", "ssl"}),
            champ(1, "UtilisateurSmtp", &P::UtilisateurSmtp,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Utilisateur")),
            champ(1, "MotDePasseSmtp", &P::MotDePasseSmtp,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Mot de passe"), G::Texte, cache),
            champ(1, "AdresseExpediteur", &P::AdresseExpediteur,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Adresse expediteur"),
                  G::AdresseMail),
            champ(1, "MessageDe", &P::MessageDe,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Message de")),
            champ(1, "Sujet", &P::Sujet, QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Sujet")),
            champ(1, "Message", &P::Message,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Message"))};
        t.front().obligatoire = true;
        for (int i = 0; i < 10; ++i) {
            Champ c = champ(1, "Adresses_", nullptr,
                            QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Adresse N°%1"),
                            G::AdresseMail);
            c.nom += QString::number(i);
            c.adresse = i;
            t.push_back(c);
        }
        const std::vector<Champ> suite{
            champ(1, "CertificatSmtp", &P::CertificatSmtp,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Certificat"), G::Fichier),
            liste(2, "ProtocoleFtp", &P::ProtocoleFtp,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Protocole"),
                  {"ftp", "ftps", "sftp"}),
            champ(2, "FtpHebergeur", &P::FtpHebergeur,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "ftp hebergeur"), G::HotePort),
            champ(2, "NomDomaine", &P::NomDomaine,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Nom de domaine (login)")),
            champ(2, "MotDePasseFtp", &P::MotDePasseFtp,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Mot de passe"), G::Texte, cache),
            champ(2, "FichierATransferer", &P::FichierATransferer,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "fichier à transferer")),
            champ(2, "EmplacementFichier", &P::EmplacementFichier,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "emplacement et fichier"),
                  G::CheminDistant),
            champ(2, "EmpreinteHote", &P::EmpreinteHote,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Empreinte hote"), G::Empreinte),
            champ(2, "CertificatFtp", &P::CertificatFtp,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Certificat"), G::Fichier),
            liste(3, "ProtocoleDns", &P::ProtocoleDns,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Protocole"),
                  {"aucun", "rfc2136", "dyndns2"}),
            champ(3, "NomDns", &P::NomDns, QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Nom"),
                  G::NomHote),
            champ(3, "ServeurDns", &P::ServeurDns,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Serveur"), G::HotePort),
            champ(3, "ZoneDns", &P::ZoneDns,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Zone"), G::NomHote),
            champ(3, "CleDns", &P::CleDns, QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Cle"),
                  G::NomHote),
            liste(3, "AlgorithmeDns", &P::AlgorithmeDns,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Algorithme"),
                  {"hmac-sha256", "hmac-sha512", "hmac-sha1"}),
            champ(3, "SecretDns", &P::SecretDns,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Secret"), G::Base64, cache),
            champ(3, "UtilisateurDns", &P::UtilisateurDns,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Utilisateur")),
            champ(3, "MotDePasseDns", &P::MotDePasseDns,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Mot de passe"), G::Texte, cache),
            champ(3, "TtlDns", &P::TtlDns, QT_TRANSLATE_NOOP("corvane::FenetreParametres", "TTL"),
                  G::Ttl),
            boite("BipChangement", &P::BipChangement,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Bip changement IP")),
            boite("SauveLog", &P::SauveLog,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Sauve Log")),
            boite("UploadFichier", &P::UploadFichier,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Upload fichier")),
            boite("MailAuto", &P::MailAuto,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Mail Auto")),
            boite("ModeDebug", &P::ModeDebug,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Mode Debug")),
            boite("MiseAJourDns", &P::MiseAJourDns,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Mise a jour DNS")),
            boite("DemarrageAuto", &P::DemarrageAuto,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Demarrage auto")),
            boite("FermerVersIcone", &P::FermerVersIcone,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Fermer vers icone")),
            liste(4, "ValeurBoutonTempo", &P::ValeurBoutonTempo,
                  QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Intervalle"), {"0", "1", "2"},
                  {QT_TRANSLATE_NOOP("corvane::FenetreParametres", "2 minutes"),
                   QT_TRANSLATE_NOOP("corvane::FenetreParametres", "10 minutes"),
                   QT_TRANSLATE_NOOP("corvane::FenetreParametres", "1 heure")})};
        t.insert(t.end(), suite.begin(), suite.end());
        return t;
    }();
    return table;
}

QString legende(const Champ& c)
{
    const QString texte = FenetreParametres::tr(c.legende);
    return c.adresse >= 0 ? texte.arg(c.adresse + 1) : texte;
}

QLabel* etiquetteResultat(const QString& nom)
{
    auto* l = new QLabel;
    l->setObjectName(nom);
    l->setTextFormat(Qt::PlainText); // reasons come from servers: never markup
    l->setWordWrap(true);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

} // namespace

FenetreParametres::FenetreParametres(Moteur& moteur, QWidget* parent)
    : QDialog(parent), moteur_(moteur), detect_(new DetecteurDiffere(this)),
      smtp_(new DialogueSmtpDiffere(this)), ftp_(new EnvoiFtp(this)),
      delaiTrousseau_(new QTimer(this))
{
    setObjectName(QStringLiteral("FenetreParametres"));
    setWindowTitle(tr("Paramètres"));
    detect_->setDelai(kDelaiPageMs);
    smtp_->setDelais(kDelaiSmtpMs, kDelaiSmtpMs);
    delaiTrousseau_->setSingleShot(true);
    connect(delaiTrousseau_, &QTimer::timeout, this, [this] {
        for (Secret s : {Secret::Smtp, Secret::Ftp}) {
            secretEcrit(s, false, tr("le trousseau ne répond pas"));
        }
    });

    auto* onglets = new QTabWidget;
    onglets->setObjectName(QStringLiteral("onglets"));
    const char* titres[] = {QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Détection"),
                            QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Mail"),
                            QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Upload"),
                            QT_TRANSLATE_NOOP("corvane::FenetreParametres", "DNS"),
                            QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Options")};
    std::vector<QFormLayout*> formes;
    for (const char* titre : titres) {
        auto* page = new QWidget;
        formes.push_back(new QFormLayout(page));
        auto* defile = new QScrollArea;
        defile->setWidgetResizable(true);
        defile->setFrameShape(QFrame::NoFrame);
        defile->setWidget(page);
        onglets->addTab(defile, tr(titre));
    }

    Parametres p = moteur_.parametres();
    // A password kept in the keyring is shown where the file leaves its key empty.
    if (p.MotDePasseSmtp.isEmpty()) {
        p.MotDePasseSmtp = moteur_.secretSmtp();
    }
    if (p.MotDePasseFtp.isEmpty()) {
        p.MotDePasseFtp = moteur_.secretFtp();
    }
    saisies_.reserve(champs().size());
    for (const Champ& c : champs()) {
        Saisie s;
        s.champ = &c;
        s.initial = membre(p, c);
        QWidget* editeur = nullptr;
        const QString libelle = legende(c);
        if (c.editeur == Editeur::Choix) {
            s.liste = new QComboBox;
            for (qsizetype i = 0; i < c.choix.size(); ++i) {
                s.liste->addItem(i < c.libelles.size() ? tr(c.libelles[i].toUtf8().constData())
                                                       : c.choix[i],
                                 c.choix[i]);
            }
            const QString lu = s.initial.trimmed().toLower();
            s.indexInitial = lu.isEmpty() ? 0 : int(c.choix.indexOf(lu));
            if (c.nom == u"ValeurBoutonTempo") { // the engine's, saved only at the exit
                s.indexInitial = moteur_.reglages().intervalle;
            } else if (s.indexInitial < 0) { // kept, and shown as wrong, until the user picks
                s.liste->addItem(s.initial, s.initial);
                s.indexInitial = s.liste->count() - 1;
            }
            s.liste->setCurrentIndex(s.indexInitial);
            connect(s.liste, &QComboBox::currentIndexChanged, this, &FenetreParametres::valide);
            editeur = s.liste;
        } else if (c.editeur == Editeur::Case) {
            s.boite = new QCheckBox(libelle);
            s.boite->setChecked(s.initial == u"1");
            editeur = s.boite;
        } else {
            s.ligne = new QLineEdit(s.initial);
            if (c.editeur == Editeur::MotDePasse) {
                s.ligne->setEchoMode(QLineEdit::Password);
            }
            connect(s.ligne, &QLineEdit::textChanged, this, &FenetreParametres::valide);
            editeur = s.ligne;
        }
        editeur->setObjectName(c.nom);
        s.erreur = new QLabel;
        s.erreur->setObjectName(c.nom + QStringLiteral("_erreur"));
        s.erreur->setTextFormat(Qt::PlainText);
        s.erreur->setWordWrap(true);
        s.erreur->setStyleSheet(QStringLiteral("color: #b00000"));
        s.erreur->hide();
        auto* bloc = new QWidget;
        auto* pile = new QVBoxLayout(bloc);
        pile->setContentsMargins(0, 0, 0, 0);
        pile->setSpacing(2);
        pile->addWidget(editeur);
        pile->addWidget(s.erreur);
        if (s.boite) {
            formes[std::size_t(c.onglet)]->addRow(bloc);
        } else {
            formes[std::size_t(c.onglet)]->addRow(libelle, bloc);
        }
        saisies_.push_back(s);
    }

    const auto essai = [&](int numero, const char* bouton, const QString& nomBouton,
                           const QString& nomResultat, QLabel*& resultat) {
        auto* b = new QPushButton(tr(bouton));
        b->setObjectName(nomBouton);
        resultat = etiquetteResultat(nomResultat);
        auto* ligne = new QHBoxLayout;
        ligne->addWidget(b);
        ligne->addWidget(resultat, 1);
        formes[std::size_t(numero)]->addRow(ligne);
        return b;
    };
    testDetection_ = essai(
        0, QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Tester la détection"),
        QStringLiteral("testDetection"), QStringLiteral("resultatDetection"), resultatDetection_);
    testMail_ = essai(1, QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Envoyer un mail d'essai"),
                      QStringLiteral("testMail"), QStringLiteral("resultatMail"), resultatMail_);
    testFtp_ = essai(2, QT_TRANSLATE_NOOP("corvane::FenetreParametres", "Tester l'envoi FTP"),
                     QStringLiteral("testFtp"), QStringLiteral("resultatFtp"), resultatFtp_);
    connect(testDetection_, &QPushButton::clicked, this, &FenetreParametres::testeDetection);
    connect(testMail_, &QPushButton::clicked, this, &FenetreParametres::testeMail);
    connect(testFtp_, &QPushButton::clicked, this, &FenetreParametres::testeFtp);
    connect(detect_, &Detecteur::termine, this, &FenetreParametres::detectionFinie);
    connect(smtp_, &DialogueMail::termine, this, &FenetreParametres::mailFini);
    connect(ftp_, &EnvoiFtp::etat, this, &FenetreParametres::etatFtp);

    auto* boutons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    boutonOk_ = boutons->button(QDialogButtonBox::Ok);
    boutonOk_->setObjectName(QStringLiteral("boutonOk"));
    boutons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("boutonAnnuler"));
    connect(boutons, &QDialogButtonBox::accepted, this, &FenetreParametres::accept);
    connect(boutons, &QDialogButtonBox::rejected, this, &FenetreParametres::reject);
    raisonOk_ = etiquetteResultat(QStringLiteral("raisonOk"));

    auto* tout = new QVBoxLayout(this);
    tout->addWidget(onglets, 1);
    tout->addWidget(raisonOk_);
    tout->addWidget(boutons);
    resize(560, 520);
    valide();
}

FenetreParametres::~FenetreParametres() = default;

QString FenetreParametres::valeur(const char* nom) const
{
    for (const Saisie& s : saisies_) {
        if (s.champ->nom == QLatin1String(nom)) {
            return s.valeur();
        }
    }
    return {};
}

Parametres FenetreParametres::saisie() const
{
    Parametres p = moteur_.parametres();
    for (const Saisie& s : saisies_) {
        if (const QString v = s.valeur(); v != s.initial) {
            membre(p, *s.champ) = v;
        }
    }
    return p;
}

void FenetreParametres::valide()
{
    QString premiere;
    const bool dyndns = valeur("ProtocoleDns").trimmed().toLower() == u"dyndns2";
    for (const Saisie& s : saisies_) {
        const Champ& c = *s.champ;
        const QString v = s.valeur();
        QString erreur;
        if (s.liste) { // only a value the file held that the list does not know is wrong
            erreur = verifieChoix(s.liste->currentData().toString(), c.choix);
        } else if (c.obligatoire && v.trimmed().isEmpty()) {
            erreur = tr("valeur obligatoire");
        } else {
            const bool url = c.nom == u"ServeurDns" && dyndns; // dyndns2 names its update URL
            erreur = verifieValeur(url ? GenreValeur::Url : c.genre, v);
        }
        s.erreur->setText(erreur);
        s.erreur->setVisible(!erreur.isEmpty());
        if (premiere.isEmpty() && !erreur.isEmpty()) {
            premiere = tr("%1 : %2").arg(legende(c), erreur);
        }
    }
    const bool attente = secretsAttendus_ != 0;
    boutonOk_->setEnabled(premiere.isEmpty() && !attente);
    boutonOk_->setToolTip(premiere);
    if (!attente) {
        raisonOk_->setText(premiere.isEmpty() ? QString() : tr("OK impossible : %1").arg(premiere));
    }
}

// ---------------------------------------------------------------------------------------------
// Trials, each with the values shown and its own bound

void FenetreParametres::testeDetection()
{
    testDetection_->setEnabled(false);
    resultatDetection_->setText(tr("Détection en cours…"));
    detect_->demarre(RequeteDetection{valeur("AdresseDetect"), valeur("AdresseSecours"),
                                      valeur("Famille"), valeur("CertificatHttp")});
}

void FenetreParametres::detectionFinie(const ResultatDetection& r)
{
    testDetection_->setEnabled(true);
    resultatDetection_->setText(r.ok ? tr("Adresse obtenue : %1 (%2)").arg(r.texte, r.url)
                                     : tr("Échec : %1").arg(r.raison));
}

void FenetreParametres::testeMail()
{
    const QString destinataire = valeur("Adresses_0").trimmed();
    if (destinataire.isEmpty()) {
        resultatMail_->setText(tr("Échec : Adresse N°1 est vide"));
        return;
    }
    EnvoiMail e;
    e.serveur = valeur("ServeurSmtp");
    e.expediteur = valeur("MessageDe");
    e.destinataire = destinataire;
    e.sujet = valeur("Sujet");
    e.corps = CorpsMail(valeur("Message"), moteur_.adresse(), HeureUTC(horloge_));
    e.securite = valeur("SecuriteSmtp");
    e.utilisateur = valeur("UtilisateurSmtp");
    e.motDePasse = valeur("MotDePasseSmtp");
    e.adresseExpediteur = valeur("AdresseExpediteur");
    e.certificat = valeur("CertificatSmtp");
    e.date = horloge_.now();
    if (smtp_->envoie(e)) {
        testMail_->setEnabled(false);
        resultatMail_->setText(tr("Envoi en cours…"));
    }
}

void FenetreParametres::mailFini(const ResultatEnvoi& r)
{
    testMail_->setEnabled(true);
    // The dialogue's reasons never hold the password.
    resultatMail_->setText(r.envoye ? tr("Mail d'essai accepté par le serveur")
                                    : tr("Échec : %1").arg(r.raison));
}

void FenetreParametres::testeFtp()
{
    Parametres p = moteur_.parametres();
    for (const Saisie& s : saisies_) {
        membre(p, *s.champ) = s.valeur();
    }
    DemandeFtp d = demandeFtp(p);
    const QString page = d.cheminDistant;
    if (page.trimmed().isEmpty() || page.endsWith(QLatin1Char('/'))) {
        resultatFtp_->setText(tr("Échec : emplacement et fichier sans nom de fichier"));
        return;
    }
    // Beside the page, in its folder: the place the real uploads must be allowed to write.
    d.cheminDistant = page.left(page.lastIndexOf(QLatin1Char('/')) + 1) + kFichierEssai;
    d.supprimeApres = true;
    d.delaiConnexionSec = kDelaiFtpSec;
    d.delaiBlocageSec = kDelaiFtpSec;
    dossierEssai_ = std::make_unique<QTemporaryDir>();
    if (!dossierEssai_->isValid()) {
        resultatFtp_->setText(tr("Échec : %1").arg(dossierEssai_->errorString()));
        return;
    }
    d.fichierLocal = dossierEssai_->filePath(kFichierEssai);
    const WriteResult w = writeFileAtomically(
        d.fichierLocal, QByteArrayLiteral("Corvane : essai d'envoi, supprim\xe9 aussit\xf4t\r\n"));
    if (!w.ok) {
        resultatFtp_->setText(tr("Échec : %1").arg(w.raison));
        return;
    }
    cheminEssai_ = d.cheminDistant;
    testFtp_->setEnabled(false);
    resultatFtp_->setText(tr("Envoi en cours…"));
    ftp_->envoie(d);
}

void FenetreParametres::etatFtp(int etat, const QString& raison)
{
    if (etat != EtatTermine && etat != EtatAucun && etat != EtatErreur) {
        return;
    }
    testFtp_->setEnabled(true);
    dossierEssai_.reset();
    resultatFtp_->setText(etat == EtatTermine
                              ? tr("%1 envoyé puis supprimé : envoi FTP réussi").arg(cheminEssai_)
                              : tr("Échec : %1").arg(raison));
}

// ---------------------------------------------------------------------------------------------
// OK: the passwords to the keyring first, when there is one, then the record to the engine

void FenetreParametres::accept()
{
    if (!boutonOk_->isEnabled()) {
        return;
    }
    aEnregistrer_ = saisie();
    // The interval is the engine's state, which the exit saves: the engine takes it first.
    if (aEnregistrer_.ValeurBoutonTempo != moteur_.parametres().ValeurBoutonTempo) {
        moteur_.setIntervalle(aEnregistrer_.ValeurBoutonTempo.toInt());
    }
    // Whether a keyring answers is asked without waiting; OK stays off meanwhile.
    secretsAttendus_ = kQuestionBus;
    boutonOk_->setEnabled(false);
    Trousseau::disponible(this, [this](bool present) {
        secretsAttendus_ = 0;
        present ? ecritSecrets() : enregistre();
    });
}

void FenetreParametres::ecritSecrets()
{
    const QString smtp = valeur("MotDePasseSmtp");
    const QString ftp = valeur("MotDePasseFtp");
    aEnregistrer_.MotDePasseSmtp.clear();
    aEnregistrer_.MotDePasseFtp.clear();
    motsDePasse_ = {smtp, ftp};
    refusTrousseau_.clear();
    if (!trousseau_) {
        trousseau_ = new Trousseau(moteur_.cheminConfig(), this);
        connect(trousseau_, &Trousseau::ecrit, this,
                [this](Secret s) { secretEcrit(s, true, QString()); });
        connect(trousseau_, &Trousseau::echec, this,
                [this](Secret s, const QString& raison) { secretEcrit(s, false, raison); });
    }
    secretsAttendus_ = 3;
    boutonOk_->setEnabled(false);
    raisonOk_->setText(tr("Enregistrement des mots de passe dans le trousseau…"));
    delaiTrousseau_->start(kDelaiTrousseauMs);
    trousseau_->ecris(Secret::Smtp, smtp);
    trousseau_->ecris(Secret::Ftp, ftp);
}

void FenetreParametres::secretEcrit(Secret secret, bool ok, const QString& raison)
{
    const int bit = secret == Secret::Smtp ? 1 : 2;
    if (!(secretsAttendus_ & bit)) {
        return; // answered already, or given up on
    }
    secretsAttendus_ &= ~bit;
    if (!ok) { // that password stays in the file, as without a keyring
        refusTrousseau_.append(raison);
        (secret == Secret::Smtp ? aEnregistrer_.MotDePasseSmtp : aEnregistrer_.MotDePasseFtp) =
            secret == Secret::Smtp ? motsDePasse_.first : motsDePasse_.second;
    }
    if (secretsAttendus_ == 0) {
        delaiTrousseau_->stop();
        enregistre();
        moteur_.utiliseSecrets(motsDePasse_.first, motsDePasse_.second);
        if (!refusTrousseau_.isEmpty()) {
            moteur_.journal(QStringLiteral("Trousseau : %1 ; mot de passe gard\u00e9 dans %2")
                                .arg(refusTrousseau_.join(QStringLiteral(", ")), kNomConfig));
        }
    }
}

void FenetreParametres::enregistre()
{
    const Resultat r = moteur_.appliqueParametres(aEnregistrer_);
    if (!r) {
        valide();
        raisonOk_->setText(tr("Enregistrement impossible : %1").arg(r.raison));
        return;
    }
    QDialog::accept();
}

} // namespace corvane
