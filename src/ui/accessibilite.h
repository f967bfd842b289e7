#pragma once
// What assistive tools are told about controls whose look differs from their behaviour.

#include <QPushButton>

namespace corvane {

// A checkable push button of an exclusive group: to assistive tools the radio button it
// behaves as (role RadioButton, its check state, its accessible name or caption, "press").
// Arrow keys already move the choice within the group.
class BoutonRadio : public QPushButton {
    Q_OBJECT
public:
    explicit BoutonRadio(const QString& texte, QWidget* parent = nullptr);
};

} // namespace corvane
