#include "NewFolderSheet.h"

#include "ButtonStyles.h"
#include "FavoriteFolder.h"
#include "ModelContext.h"
#include "StoreChangeFollower.h"
#include "StoreError.h"
#include "SystemColors.h"
#include "TextStyles.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

NewFolderSheet::NewFolderSheet(ModelContext& modelContext, CreateCallback onCreate, QWidget* parent)
    : QDialog(parent)
    , m_modelContext(modelContext)
    , m_onCreate(std::move(onCreate))
    , m_nameField(new QLineEdit(this))
    , m_takenNotice(new QLabel(QStringLiteral("A folder with this name already exists."), this))
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
    m_takenNotice->setObjectName(QStringLiteral("nameTaken"));
    m_takenNotice->setFont(TextStyles::font(TextStyles::Style::Caption));
    QPalette notice = m_takenNotice->palette();
    notice.setColor(QPalette::WindowText, SystemColors::red());
    m_takenNotice->setPalette(notice);
    // Shown or not, the line keeps its room, so the sheet does not jump.
    QSizePolicy keepRoom = m_takenNotice->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    m_takenNotice->setSizePolicy(keepRoom);
    m_takenNotice->hide();

    ButtonStyles::makeBordered(m_cancelButton);
    ButtonStyles::makeProminent(m_createButton);
    m_createButton->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_createButton);
    buttons->addStretch();

    auto* field = new QVBoxLayout;
    field->setSpacing(4);
    field->addWidget(m_nameField);
    field->addWidget(m_takenNotice);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(12);
    layout->addStretch();
    layout->addWidget(title);
    layout->addLayout(field);
    layout->addLayout(buttons);
    layout->addStretch();

    // The names follow the store, reloaded once the change that prompted it is over.
    auto* follower = new StoreChangeFollower(
        modelContext, [](RecordKind kind, const PersistentRecord*) { return kind == RecordKind::Folder; },
        this);
    connect(follower, &StoreChangeFollower::changed, this, &NewFolderSheet::reloadNames);

    connect(m_nameField, &QLineEdit::textChanged, this, &NewFolderSheet::validate);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_createButton, &QPushButton::clicked, this, &NewFolderSheet::create);
    reloadNames();
    m_nameField->setFocus();
}

void NewFolderSheet::reloadNames() {
    try {
        QSet<QString> names;
        for (const auto& folder : m_modelContext.fetch<FavoriteFolder>())
            names.insert(folder->name());
        m_takenNames = names;
    } catch (const StoreError&) {
        // Keep the names known so far until the store can be read again.
    }
    validate();
}

void NewFolderSheet::validate() {
    const QString name = m_nameField->text();
    const bool taken = m_takenNames.contains(name);
    m_takenNotice->setVisible(taken);
    m_createButton->setEnabled(!name.isEmpty() && !taken);
}

void NewFolderSheet::create() {
    const QString name = m_nameField->text();
    if (name.isEmpty() || m_takenNames.contains(name))
        return;
    if (m_onCreate)
        m_onCreate(name);
    accept();
}
