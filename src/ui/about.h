#pragma once
// The about window "About".

#include <QDialog>

namespace corvane {

class LinkOpener;

class About : public QDialog {
    Q_OBJECT
public:
    explicit About(LinkOpener& links, QWidget* parent = nullptr);
    ~About() override;
};

} // namespace corvane
