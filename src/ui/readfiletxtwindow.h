#pragma once
// PLACEHOLDER: the page assembly window, replaced whole by the publishing work.
#include <QWidget>
namespace corvane {
class ReadFileTxtWindow : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
};
} // namespace corvane
