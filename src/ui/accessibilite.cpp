#include "ui/accessibilite.h"

#include <QAccessibleWidget>

namespace corvane {
namespace {

class BoutonRadioAccessible : public QAccessibleWidget {
public:
    explicit BoutonRadioAccessible(BoutonRadio* b) : QAccessibleWidget(b, QAccessible::RadioButton)
    {}

    BoutonRadio* bouton() const { return static_cast<BoutonRadio*>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) {
            const QString nom = bouton()->accessibleName();
            return nom.isEmpty() ? bouton()->text() : nom;
        }
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = bouton()->isChecked();
        return s;
    }

    QStringList actionNames() const override { return {pressAction()}; }

    void doAction(const QString& action) override
    {
        if (action == pressAction() && bouton()->isEnabled()) {
            bouton()->click();
        }
    }
};

// Asked with the most derived class first: this class's name reaches it before any factory
// that knows push buttons.
QAccessibleInterface* fabrique(const QString& classe, QObject* objet)
{
    auto* b = qobject_cast<BoutonRadio*>(objet);
    return b && classe == QLatin1String(BoutonRadio::staticMetaObject.className())
               ? new BoutonRadioAccessible(b)
               : nullptr;
}

} // namespace

BoutonRadio::BoutonRadio(const QString& texte, QWidget* parent) : QPushButton(texte, parent)
{
    static const bool installee = [] {
        QAccessible::installFactory(fabrique);
        return true;
    }();
    Q_UNUSED(installee);
    setCheckable(true);
}

} // namespace corvane
