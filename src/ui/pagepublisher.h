#pragma once
// Page publishing for the main window: the fragment "ip_actu", the page "date.php" assembled
// from the owner's "date1.php" (shown in the debug window read_file_txt) and its FTP upload.

#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class QWidget;

namespace corvane {

class ConsoleLink;
class EnvoiFtp;
class ReadFileTxtWindow;

class PagePublisher : public QObject {
    Q_OBJECT
public:
    // windowParent owns the publisher and parents the debug window.
    explicit PagePublisher(ConsoleLink& console, QWidget* windowParent = nullptr);
    // Stops a running upload and joins its thread.
    ~PagePublisher() override;

    // Writes "ip_actu" for console.ipActuelle(). On failure a console entry names the file and
    // the reason, and false is returned.
    bool ecrit_ip_actu();
    // When "Upload fichier" is ticked: shows read_file_txt in debug mode, then traiteText.
    // False (after a console entry naming the file and the reason) when "date.php" could not
    // be built; true otherwise, also when the option is off.
    bool prepare_page();
    // When "Upload fichier" is ticked: starts the upload, or queues it behind the one running.
    // Sends nothing after a prepare_page that failed, so a stale page is never published.
    void envoi_ftp();

    // The debug window, created on first use (and anew after it was closed).
    ReadFileTxtWindow* read_file_txt();
    // The debug window if it exists now; null otherwise (nothing is created).
    ReadFileTxtWindow* fenetreOuverte() const;

    // Connection time-out and stall limit, in seconds (30 and 60 unless set).
    void setDelais(int connexionSec, int blocageSec);

    // The uploads, for whoever needs to know whether one runs.
    EnvoiFtp& envoi() { return *envoi_; }

public slots:
    // The console report of one upload stage (state numbers 0 to 12); a failure's entry ends
    // with its reason.
    void Inet1_StateChanged(int state, const QString& raison = QString());

private:
    ConsoleLink& console_;
    QWidget* windowParent_;
    QPointer<ReadFileTxtWindow> fenetre_;
    EnvoiFtp* envoi_;
    std::optional<QString> ipActuEcrite_; // the address "ip_actu" was last written for
    bool pageEnEchec_ = false;
    int delaiConnexion_ = 30;
    int delaiBlocage_ = 60;
};

} // namespace corvane
