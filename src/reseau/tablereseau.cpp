#include "reseau/tablereseau.h"

#include "detect/detecteip.h"
#include "dns/miseajourdns.h"
#include "mail/smtpdialogue.h"

namespace {

const corvane::TableReseau kTable{
    corvane::kVersionTableReseau,
    [](int delaiMs, QObject* parent) -> corvane::Detecteur* {
        auto* d = new corvane::DetecteIP(parent);
        if (delaiMs > 0) {
            d->setDelai(delaiMs);
        }
        return d;
    },
    [](QObject* parent) -> corvane::DialogueMail* { return new corvane::SmtpDialogue(parent); },
    [](corvane::Clock* horloge, QObject* parent) -> corvane::ServiceDns* {
        return new corvane::MiseAJourDns(horloge, parent);
    },
};

} // namespace

const corvane::TableReseau* corvane_table_reseau()
{
    return &kTable;
}
