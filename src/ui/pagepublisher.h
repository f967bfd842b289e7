#pragma once
// Page publishing for the main window: the fragment "ip_actu", the page "date.php" assembled
// from the owner's "date1.php" (shown in the debug window read_file_txt) and its FTP upload.

#include <QObject>
#include <QPointer>

namespace corvane {

class ConsoleLink;
class ReadFileTxtWindow;

class PagePublisher : public QObject {
    Q_OBJECT
public:
    explicit PagePublisher(ConsoleLink& console, QWidget* windowParent = nullptr);
    ~PagePublisher() override;

    // Writes "ip_actu" for console.ipActuelle(). On failure a console entry names the file and
    // the reason, and false is returned.
    bool ecrit_ip_actu();
    // When "Upload fichier" is ticked: shows read_file_txt in debug mode, then traiteText.
    // False (after a console entry naming the file and the reason) when "date.php" could not
    // be built; true otherwise, also when the option is off.
    bool prepare_page();
    // When "Upload fichier" is ticked: starts the upload, or queues it behind the one running.
    void envoi_ftp();

    // The debug window, created on first use.
    ReadFileTxtWindow* read_file_txt();

    // Connection time-out and stall limit, in seconds (30 and 60 unless set).
    void setDelais(int connexionSec, int blocageSec);
};

} // namespace corvane
