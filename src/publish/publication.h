#pragma once
// Page publishing on a change of address: the fragment "ip_actu" written for the new address,
// the page "date.php" assembled from the owner's "date1.php" and that page's upload, with the
// console report of each upload stage. All files are in the working directory. No window: the
// debug window read_file_txt only shows what the last assembly read and wrote.

#include "publish/assemblage.h"
#include "publish/ftpenvoi.h"
#include "watch/services.h"

#include <QLoggingCategory>

#include <optional>

namespace corvane {

Q_DECLARE_LOGGING_CATEGORY(lcPublication)

struct Parametres;

// The upload that the settings' [ADRESSE FTP] describe, with the default time-outs.
DemandeFtp demandeFtp(const Parametres& p);

class Publication : public ServicePublication {
    Q_OBJECT
public:
    explicit Publication(QObject* parent = nullptr);
    // Stops a running upload and joins its thread; no report follows.
    ~Publication() override;

    bool ecrit_ip_actu(const QString& ip) override;
    bool prepare_page(const QString& ip) override;
    void envoi_ftp(const DemandeFtp& demande) override;

    // What the last assembly read and wrote, whole or not; empty before the first.
    const Assemblage& derniereAssemblage() const { return derniere_; }
    const EnvoiFtp& envoi() const { return envoi_; }

public slots:
    // The console report of one upload stage (state numbers 0 to 12): dots while it runs, one
    // entry at its end; a failure's entry ends with its reason.
    void Inet1_StateChanged(int state, const QString& raison = QString());

signals:
    // After each assembly that prepare_page ran, whole or not: derniereAssemblage() changed.
    void pageAssemblee();

private:
    void signale(const QString& libelle);

    EnvoiFtp envoi_;
    Assemblage derniere_;
    std::optional<QString> ipActuEcrite_; // the address "ip_actu" was last written for
    bool pageEnEchec_ = false;
};

} // namespace corvane
