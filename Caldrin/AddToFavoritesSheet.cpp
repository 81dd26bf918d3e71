#include "AddToFavoritesSheet.h"

#include "AppIconView.h"
#include "AppModel.h"
#include "ButtonStyles.h"
#include "Divider.h"
#include "ElidedLabel.h"
#include "FavoriteApp.h"
#include "FavoriteFolder.h"
#include "FavoritesService.h"
#include "ModelContext.h"
#include "NewFolderSheet.h"
#include "StoreChangeFollower.h"
#include "StoreError.h"
#include "SystemColors.h"
#include "TextStyles.h"
#include "UserCharacters.h"

#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

using Style = TextStyles::Style;

namespace {

constexpr int defaultPadding = 16;
// Room for a folder name in the picker: the sheet less its margins, the
// plus button and the picker's arrow.
constexpr int pickerTextWidth = AddToFavoritesSheet::sheetWidth - 2 * defaultPadding - 90;

QLabel* sectionTitle(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(TextStyles::font(Style::Subheadline, QFont::Medium));
    return label;
}

} // namespace

AddToFavoritesSheet::AddToFavoritesSheet(const QSharedPointer<AppModel>& app,
                                         FavoritesService& favoritesService, QWidget* parent,
                                         ImageLoader* loader)
    : QDialog(parent)
    , m_app(app)
    , m_favoritesService(favoritesService)
    , m_folderPicker(new QComboBox(this))
    , m_commentEditor(new QPlainTextEdit(this))
    , m_addButton(new QPushButton(QStringLiteral("Add to Favorites"), this))
    , m_cancelButton(new QPushButton(QStringLiteral("Cancel"), this))
    , m_newFolderButton(new QToolButton(this))
    , m_alreadyFavorite(new QLabel(this)) {
    setWindowTitle(QStringLiteral("Add to Favorites"));
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(sheetWidth, sheetHeight);
    const QPalette& colors = palette();

    // Header.
    auto* title = new QLabel(QStringLiteral("Add to Favorites"), this);
    title->setFont(TextStyles::font(Style::Headline));
    ButtonStyles::makeBordered(m_cancelButton);
    auto* header = new QHBoxLayout;
    header->setContentsMargins(defaultPadding, defaultPadding, defaultPadding, defaultPadding);
    header->addWidget(title);
    header->addStretch();
    header->addWidget(m_cancelButton);

    // App summary card.
    auto* card = new QFrame(this);
    card->setObjectName(QStringLiteral("summaryCard"));
    card->setStyleSheet(QStringLiteral("QFrame#summaryCard { background-color: %1; border-radius: 8px; }")
                            .arg(SystemColors::css(SystemColors::controlBackground(colors))));
    auto* icon = new AppIconView(40, 8, card, loader);
    icon->setObjectName(QStringLiteral("appIcon"));
    icon->setAddress(app->iconURL());
    auto* name = new ElidedLabel(app->name(), card);
    name->setObjectName(QStringLiteral("appName"));
    name->setFont(TextStyles::font(Style::Headline));
    auto* developer = new ElidedLabel(app->developerName(), card);
    developer->setObjectName(QStringLiteral("developerName"));
    developer->setFont(TextStyles::font(Style::Caption));
    developer->setColor(SystemColors::secondary(colors));
    auto* names = new QVBoxLayout;
    names->setSpacing(2);
    names->addWidget(name);
    names->addWidget(developer);
    auto* cardLayout = new QHBoxLayout(card);
    cardLayout->setContentsMargins(defaultPadding, defaultPadding, defaultPadding, defaultPadding);
    cardLayout->setSpacing(12);
    cardLayout->addWidget(icon, 0, Qt::AlignVCenter);
    cardLayout->addLayout(names, 1);

    // Folder section.
    m_folderPicker->setObjectName(QStringLiteral("folderPicker"));
    m_folderPicker->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_folderPicker->setMinimumContentsLength(12);
    m_folderPicker->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // Long folder names are shortened in the list too, which keeps the sheet's width.
    auto* pickerList = new QListView(m_folderPicker);
    pickerList->setTextElideMode(Qt::ElideRight);
    pickerList->setUniformItemSizes(true);
    m_folderPicker->setView(pickerList);
    m_newFolderButton->setObjectName(QStringLiteral("newFolderButton"));
    ButtonStyles::makeBorderless(m_newFolderButton, QStringLiteral("plus.circle"),
                                 SystemColors::secondary(colors), 18);
    m_newFolderButton->setToolTip(QStringLiteral("Create new folder"));
    auto* pickerRow = new QHBoxLayout;
    pickerRow->addWidget(m_folderPicker, 1);
    pickerRow->addWidget(m_newFolderButton);
    auto* folderSection = new QVBoxLayout;
    folderSection->setSpacing(8);
    folderSection->addWidget(sectionTitle(QStringLiteral("Folder"), this));
    folderSection->addLayout(pickerRow);

    // Comment section.
    m_commentEditor->setObjectName(QStringLiteral("commentEditor"));
    m_commentEditor->setFont(TextStyles::font(Style::Body));
    m_commentEditor->setFixedHeight(80);
    m_commentEditor->setTabChangesFocus(true);
    m_commentEditor->setStyleSheet(
        QStringLiteral("QPlainTextEdit { border: 1px solid %1; border-radius: 4px; background-color: %2; }")
            .arg(SystemColors::css(SystemColors::separator(colors)),
                 SystemColors::css(SystemColors::controlBackground(colors))));
    auto* commentSection = new QVBoxLayout;
    commentSection->setSpacing(8);
    commentSection->addWidget(sectionTitle(QStringLiteral("Comment (optional)"), this));
    commentSection->addWidget(m_commentEditor);

    m_alreadyFavorite->setObjectName(QStringLiteral("alreadyFavorite"));
    m_alreadyFavorite->setTextFormat(Qt::PlainText);
    m_alreadyFavorite->setFont(TextStyles::font(Style::Caption));
    QPalette notice = m_alreadyFavorite->palette();
    notice.setColor(QPalette::WindowText, SystemColors::secondary(colors));
    m_alreadyFavorite->setPalette(notice);
    m_alreadyFavorite->hide();

    ButtonStyles::makeProminent(m_addButton);
    m_addButton->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    auto* form = new QVBoxLayout;
    form->setContentsMargins(defaultPadding, defaultPadding, defaultPadding, defaultPadding);
    form->setSpacing(16);
    form->addWidget(card);
    form->addLayout(folderSection);
    form->addLayout(commentSection);
    form->addWidget(m_alreadyFavorite);
    form->addWidget(m_addButton);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(20);
    layout->addStretch();
    layout->addLayout(header);
    layout->addWidget(new Divider(Qt::Horizontal, this));
    layout->addLayout(form);
    layout->addStretch();

    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_addButton, &QPushButton::clicked, this, &AddToFavoritesSheet::add);
    connect(m_newFolderButton, &QToolButton::clicked, this, &AddToFavoritesSheet::showNewFolderSheet);
    connect(m_folderPicker, &QComboBox::currentIndexChanged, this, [this] { updateAddButton(); });

    // The picker follows the store's folders. Reloading waits for the change
    // that prompted it to finish (a folder deletion reports several records).
    auto* follower = new StoreChangeFollower(
        favoritesService.modelContext(),
        [](RecordKind kind, const PersistentRecord*) { return kind != RecordKind::App; }, this);
    connect(follower, &StoreChangeFollower::changed, this, &AddToFavoritesSheet::reloadFolders);

    reloadFolders();
    // The default choice: the first "Unfiltered" in display order, else none.
    int initial = -1;
    for (qsizetype i = 0; i < m_folders.size(); ++i) {
        if (m_folders[i]->name() == FavoritesService::defaultFolderName()) {
            initial = int(i);
            break;
        }
    }
    m_folderPicker->setCurrentIndex(initial);
    updateAddButton();
    m_commentEditor->setFocus();
}

QSharedPointer<FavoriteFolder> AddToFavoritesSheet::selectedFolder() const {
    const int index = m_folderPicker->currentIndex();
    return index >= 0 && index < m_folders.size() ? m_folders[index] : nullptr;
}

QString AddToFavoritesSheet::comment() const {
    // toPlainText() would turn no-break spaces into spaces; only the paragraph
    // separators the editor keeps between lines are translated.
    QString text = m_commentEditor->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

void AddToFavoritesSheet::refreshFavorite() {
    const QSharedPointer<FavoriteApp> favorite = m_favoritesService.getFavorite(m_app->appleID());
    m_isFavorite = !favorite.isNull();
    const QSharedPointer<FavoriteFolder> folder = favorite ? favorite->folder() : nullptr;
    m_alreadyFavorite->setText(
        folder ? QStringLiteral("Already in “%1”").arg(UserCharacters::shortened(folder->name()))
               : QStringLiteral("Already in favorites"));
    m_alreadyFavorite->setVisible(m_isFavorite);
    updateAddButton();
}

void AddToFavoritesSheet::updateAddButton() {
    m_addButton->setEnabled(m_folderPicker->currentIndex() >= 0 && !m_isFavorite);
}

void AddToFavoritesSheet::reloadFolders() {
    const QSharedPointer<FavoriteFolder> selected = selectedFolder();
    QList<QSharedPointer<FavoriteFolder>> folders;
    try {
        folders = m_favoritesService.modelContext().fetch<FavoriteFolder>(
            FetchDescriptor::sorted("sortOrder", true));
    } catch (const StoreError&) {
        return; // keep the entries shown until the store can be read again
    }
    m_folders = folders;
    const QSignalBlocker blocker(m_folderPicker);
    m_folderPicker->clear();
    int keep = -1;
    // Entries are shortened to the picker's width: its pop-up list would
    // otherwise grow as wide as the longest name.
    const QFontMetrics metrics = m_folderPicker->fontMetrics();
    for (qsizetype i = 0; i < m_folders.size(); ++i) {
        const QString& name = m_folders[i]->name();
        const QString shown = ElidedLabel::elided(name, metrics, pickerTextWidth);
        m_folderPicker->addItem(shown);
        if (shown != name)
            m_folderPicker->setItemData(int(i), ElidedLabel::elided(name, metrics, 4 * pickerTextWidth),
                                        Qt::ToolTipRole);
        if (m_folders[i] == selected)
            keep = int(i);
    }
    m_folderPicker->setCurrentIndex(keep);
    refreshFavorite();
}

void AddToFavoritesSheet::showNewFolderSheet() {
    if (m_newFolderSheet)
        return;
    FavoritesService* service = &m_favoritesService;
    m_newFolderSheet = new NewFolderSheet(
        service->modelContext(), [service](const QString& name) { service->createFolder(name); }, this);
    m_newFolderSheet->open();
}

void AddToFavoritesSheet::add() {
    const QSharedPointer<FavoriteFolder> folder = selectedFolder();
    if (!folder || m_isFavorite)
        return;
    m_favoritesService.addToFavorites(m_app->appleID(), folder->name(), comment());
    accept();
}
