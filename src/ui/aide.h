#pragma once
// The help window "Aide" (installation steps in French or English, sample configuration).

#include <QDialog>

namespace corvane {

struct Parametres;
class LinkOpener;

class Aide : public QDialog {
    Q_OBJECT
public:
    // Reads and writes p.LangageInt; links open through links.
    Aide(Parametres& p, LinkOpener& links, QWidget* parent = nullptr);
    ~Aide() override;
};

} // namespace corvane
