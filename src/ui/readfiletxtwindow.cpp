#include "ui/readfiletxtwindow.h"

#include "platform/textcodec.h"
#include "publish/publication.h"
#include "ui/richtextview.h"

#include <QEvent>
#include <QVBoxLayout>

namespace corvane {

ReadFileTxtWindow::ReadFileTxtWindow(const Publication& publication, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      publication_(&publication)
{
    setObjectName(QStringLiteral("read_file_txt"));
    setWindowTitle(tr("LOG - Debug assemblage fichier "));
    resize(640, 520);

    const auto boite = [this](const char* nom) {
        auto* b = new RichTextView(this);
        b->setObjectName(QString::fromLatin1(nom));
        b->setReadOnly(true);
        b->setLineWrapMode(QTextEdit::NoWrap);
        return b;
    };
    RichTextBox2 = boite("RichTextBox2");
    RichTextBox1 = boite("RichTextBox1");
    RichTextBox3 = boite("RichTextBox3");
    RichTextBox2->setFixedHeight(90); // three lines of PHP

    auto* colonne = new QVBoxLayout(this);
    colonne->setContentsMargins(4, 4, 4, 4);
    colonne->setSpacing(4);
    colonne->addWidget(RichTextBox2);
    colonne->addWidget(RichTextBox1, 1);
    colonne->addWidget(RichTextBox3, 1);

    connect(&publication, &Publication::pageAssemblee, this, [this] {
        aAfficher_ = true;
        if (isVisible()) {
            traiteText();
        }
    });
}

void ReadFileTxtWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        setWindowTitle(tr("LOG - Debug assemblage fichier "));
    }
    QWidget::changeEvent(event);
}

void ReadFileTxtWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (aAfficher_) {
        traiteText();
    }
}

void ReadFileTxtWindow::traiteText()
{
    aAfficher_ = false;
    if (!publication_) {
        return;
    }
    const Assemblage& a = publication_->derniereAssemblage();
    RichTextBox1->setText(fromAnsi(a.gabarit));
    RichTextBox2->setText(fromAnsi(a.fragment));
    RichTextBox3->setText(a.ok ? fromAnsi(a.page) : QString());
}

} // namespace corvane
