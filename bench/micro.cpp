// Google Benchmark cases of the routines that run often or on large inputs: the settings file,
// the console log's entry (engine and window), the link scan under the mouse pointer and the
// page files.

#include "config/fichierini.h"
#include "mail/mailing.h"
#include "platform/atomicfile.h"
#include "platform/textcodec.h"
#include "publish/assemblage.h"
#include "publish/fragment.h"
#include "publish/publication.h"
#include "support/fakes.h"
#include "ui/console.h"
#include "ui/modliens.h"
#include "watch/moteur.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

using namespace corvane;

// A working directory of its own for each case that writes files, removed afterwards.
class InTempDir {
public:
    InTempDir() : old_(QDir::currentPath()) { QDir::setCurrent(dir_.path()); }
    ~InTempDir() { QDir::setCurrent(old_); }
    QString path(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
    QString old_;
};

// A full "Corvane.cfg": every key with a plausible value, and 100 lines the program does not
// know (comments and foreign keys) that it must carry through.
QByteArray fullConfig()
{
    QString text;
    QString section;
    int n = 0;
    for (const ConfigKey& k : clesConfig()) {
        const QString s = QString::fromUtf8(k.section);
        if (s != section) {
            section = s;
            text += QLatin1Char('[') + s + QStringLiteral("]\r\n");
            for (int i = 0; i < 12 && n < 100; ++i, ++n) {
                text += (n % 2 ? QStringLiteral("; comment %1 about this section\r\n")
                               : QStringLiteral("Cle etrangere %1=valeur gard\u00e9e\r\n"))
                            .arg(n);
            }
        }
        text += QString::fromUtf8(k.key) + QStringLiteral("=valeur de test ") + QString::number(n) +
                QStringLiteral("\r\n");
    }
    while (n < 100) {
        text += QStringLiteral("; trailing comment %1\r\n").arg(n++);
    }
    return toAnsi(text);
}

void BM_ChargeConfig(benchmark::State& state)
{
    InTempDir dir;
    const QString path = dir.path(kNomConfig);
    writeFileAtomically(path, fullConfig());
    for (auto _ : state) {
        Parametres p = ChargeConfig(path);
        benchmark::DoNotOptimize(p);
    }
}
BENCHMARK(BM_ChargeConfig)->Unit(benchmark::kMicrosecond);

void BM_SauveConfig(benchmark::State& state)
{
    InTempDir dir;
    const QString path = dir.path(kNomConfig);
    writeFileAtomically(path, fullConfig());
    Parametres p = ChargeConfig(path);
    int i = 0;
    for (auto _ : state) {
        p.DerniereIP = QStringLiteral("10.0.0.%1").arg(++i % 250);
        const WriteResult w = SauveConfig(p, path);
        if (!w.ok) {
            state.SkipWithError("SauveConfig failed");
            break;
        }
    }
}
BENCHMARK(BM_SauveConfig)->Unit(benchmark::kMicrosecond);

// affiche with args {entries already in the log, logging on}: the cost of one more entry, in
// the engine and in the main window that shows it.
void BM_affiche(benchmark::State& state)
{
    InTempDir dir;
    const int deja = static_cast<int>(state.range(0));
    const bool logOn = state.range(1) != 0;
    {
        QString log;
        QDateTime when(QDate(2026, 12, 5), QTime(6, 45, 0));
        for (int i = 0; i < deja; ++i) {
            log += ConsoleLog::entree(QStringLiteral("Changement IP"), when.addSecs(i),
                                      QStringLiteral("192.0.2.%1").arg(i % 250));
        }
        writeFileAtomically(kNomLog, toAnsi(log));
    }
    writeFileAtomically(dir.path(kNomConfig),
                        toAnsi(QStringLiteral("[OPTION]\r\nSauve Log=%1\r\n").arg(logOn ? 1 : 0)));
    test::FakePlatform fakes;
    test::FakeDetecteur detecteur;
    Mailing mailing(fakes.clock);
    Publication publication;
    Moteur moteur(fakes.platform(), dir.path(kNomConfig), detecteur, mailing, publication);
    Console console(moteur, mailing, publication, fakes.links);
    console.Form_Load();
    if (moteur.reglages().sauveLog != logOn) {
        state.SkipWithError("log option not applied");
        return;
    }
    moteur.IpActuelle = QStringLiteral("198.51.100.7");
    for (auto _ : state) {
        moteur.libelle = QStringLiteral("Changement IP");
        moteur.affiche();
    }
    state.counters["entries"] = static_cast<double>(deja);
}
BENCHMARK(BM_affiche)
    ->ArgsProduct({{10000, 100000}, {0, 1}})
    ->ArgNames({"entries", "log"})
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200);

// The link scan runs on every mouse move over a help text: a 64 KiB text of words, with a
// web address and a mail address here and there, probed at spread positions.
void BM_ChercheLien(benchmark::State& state)
{
    QString text;
    int i = 0;
    while (text.size() < 64 * 1024) {
        switch (i++ % 9) {
        case 3:
            text += QStringLiteral("http://www.example.org/page%1.html ").arg(i);
            break;
        case 7:
            text += QStringLiteral("contact%1@example.net\r\n").arg(i);
            break;
        default:
            text += QStringLiteral("mot%1 de texte ordinaire ").arg(i);
        }
    }
    text.truncate(64 * 1024);
    qsizetype c = 0;
    for (auto _ : state) {
        c = (c + 7919) % text.size();
        benchmark::DoNotOptimize(ChercheLien(QStringView(text), c));
    }
}
BENCHMARK(BM_ChercheLien);

void BM_ecritFragment(benchmark::State& state)
{
    InTempDir dir;
    int i = 0;
    for (auto _ : state) {
        const WriteResult w =
            ecritFragment(kFichierIpActu, QStringLiteral("203.0.113.%1").arg(++i % 250));
        if (!w.ok) {
            state.SkipWithError("ecritFragment failed");
            break;
        }
    }
}
BENCHMARK(BM_ecritFragment)->Unit(benchmark::kMicrosecond);

QByteArray gabarit100k()
{
    QByteArray t = "<html><head><title>Ma page</title></head><body>\r\n";
    int i = 0;
    while (t.size() < 100 * 1024) {
        t += "<p>Ligne " + QByteArray::number(++i) + " du gabarit, \xe9t\xe9 comme hiver.</p>\r\n";
    }
    t.truncate(100 * 1024);
    return t;
}

void BM_assemblePage(benchmark::State& state)
{
    InTempDir dir;
    writeFileAtomically(kFichierGabarit, gabarit100k());
    ecritFragment(kFichierIpActu, QStringLiteral("203.0.113.9"));
    for (auto _ : state) {
        const Assemblage a = assemblePage();
        if (!a.ok) {
            state.SkipWithError("assemblePage failed");
            break;
        }
    }
}
BENCHMARK(BM_assemblePage)->Unit(benchmark::kMicrosecond);

// What a change costs with "Upload fichier" ticked: the page built by the publishing service.
void BM_prepare_page(benchmark::State& state)
{
    InTempDir dir;
    writeFileAtomically(kFichierGabarit, gabarit100k());
    Publication publication;
    const QString ip = QStringLiteral("203.0.113.9");
    if (!publication.ecrit_ip_actu(ip)) {
        state.SkipWithError("ecrit_ip_actu failed");
        return;
    }
    for (auto _ : state) {
        if (!publication.prepare_page(ip)) {
            state.SkipWithError("prepare_page failed");
            break;
        }
    }
}
BENCHMARK(BM_prepare_page)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
