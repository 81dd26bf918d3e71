#include "NewFolderSheet.h"

#include "ButtonStyles.h"
#include "TextStyles.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

NewFolderSheet::NewFolderSheet(CreateCallback onCreate, QWidget* parent)
    : QDialog(parent)
    , m_onCreate(std::move(onCreate))
    , m_nameField(new QLineEdit(this))
    , m_createButton(new QPushButton(QStringLiteral("Create"), this))
    , m_cancelButton(new QPushButton(QStringLiteral("Cancel"), this)) {
    setWindowTitle(QStringLiteral("New Folder"));
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(sheetWidth, sheetHeight);

    auto* title = new QLabel(QStringLiteral("New Folder"), this);
    title->setFont(TextStyles::font(TextStyles::Style::Headline));
    title->setAlignment(Qt::AlignCenter);

    m_nameField->setPlaceholderText(QStringLiteral("Folder name"));
    m_nameField->setObjectName(QStringLiteral("folderName"));

    ButtonStyles::makeBordered(m_cancelButton);
    ButtonStyles::makeProminent(m_createButton);
    m_createButton->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_createButton);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(20);
    layout->addStretch();
    layout->addWidget(title);
    layout->addWidget(m_nameField);
    layout->addLayout(buttons);
    layout->addStretch();

    connect(m_nameField, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_createButton->setEnabled(!text.isEmpty()); });
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_createButton, &QPushButton::clicked, this, &NewFolderSheet::create);
    m_nameField->setFocus();
}

void NewFolderSheet::create() {
    const QString name = m_nameField->text();
    if (name.isEmpty())
        return;
    if (m_onCreate)
        m_onCreate(name);
    accept();
}
