#include "ui/readfiletxtwindow.h"

#include "platform/textcodec.h"
#include "publish/fragment.h"
#include "ui/richtextview.h"

#include <QVBoxLayout>

namespace corvane {

ReadFileTxtWindow::ReadFileTxtWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("read_file_txt"));
    setWindowTitle(QStringLiteral("LOG - Debug assemblage fichier "));
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
}

Assemblage ReadFileTxtWindow::traiteText()
{
    derniere_ = assemblePage(kFichierGabarit, kFichierIpActu, kFichierPage);
    aAfficher_ = true;
    if (isVisible()) {
        afficheTextes();
    }
    return derniere_;
}

void ReadFileTxtWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (aAfficher_) {
        afficheTextes();
    }
}

void ReadFileTxtWindow::afficheTextes()
{
    aAfficher_ = false;
    RichTextBox1->setText(fromAnsi(derniere_.gabarit));
    RichTextBox2->setText(fromAnsi(derniere_.fragment));
    RichTextBox3->setText(derniere_.ok ? fromAnsi(derniere_.page) : QString());
}

} // namespace corvane
