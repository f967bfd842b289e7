#pragma once
// The about window "About": product name and version, and two links to the maker, its mail
// address and its web site, underlined while the pointer is over their area.

#include <QDialog>

class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;

namespace corvane {

class LinkOpener;

// The maker's mark, contact address and web site.
inline const QString kMarqueBrenn = QStringLiteral("Brenn Soft");
inline const QString kMailBrenn = QStringLiteral("brenn@example.org");
inline const QString kSiteBrenn = QStringLiteral("http://www.brenn.example.org/");

class About : public QDialog {
    Q_OBJECT
public:
    explicit About(LinkOpener& links, QWidget* parent = nullptr);
    ~About() override;

    void OuvreMail();
    void OuvreSite();
    void Command1_Click();

    QLabel* label1() const { return Label1; }
    QLabel* label2() const { return Label2; }
    QFrame* mail() const { return Mail; }
    QFrame* siteBrenn() const { return SiteBrenn; }
    QLabel* image1() const { return Image1; }
    QLabel* image2() const { return Image2; }
    QGroupBox* frame1() const { return Frame1; }
    QPushButton* command1() const { return Command1; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void souligne(QLabel* label, bool oui);
    void retraduit();

    LinkOpener& links_;
    QGroupBox* Frame1 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Image3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* Command1 = nullptr;
    QFrame* SiteBrenn = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Image2 = nullptr;
    QFrame* Mail = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Image1 = nullptr;
};

} // namespace corvane
