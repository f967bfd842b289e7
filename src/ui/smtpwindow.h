#pragma once
// The window "smtp": the debug view of the mailings. It draws the dialogue log, the activity
// strip and the address list of a Mailing, from its state when created and from its signals
// after; it sends nothing. The mailing outlives the window.

#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;

namespace corvane {

class Mailing;
class RichTextView;

class SmtpWindow : public QWidget {
    Q_OBJECT
public:
    explicit SmtpWindow(const Mailing& mailing, QWidget* parent = nullptr);
    ~SmtpWindow() override;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void retraduit();
    void ajouteLigne(const QString& ligne);
    void redessine();
    void redessineBande();
    void redessineListe();

    const Mailing& mailing_;

    RichTextView* rtxtLog_ = nullptr;
    QLineEdit* text1_ = nullptr;
    QLabel* Label1_ = nullptr;
    QListWidget* List1_ = nullptr;

    // While hidden, the window does not follow: it is drawn again from the mailing when shown.
    bool aJour_ = true;
};

} // namespace corvane
