#pragma once

#include "NewFolderSheet.h"
#include "PersistentRecord.h"

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QSharedPointer>

class AppModel;
class FavoriteFolder;
class FavoritesService;
class ImageLoader;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

// Puts one app into a favorites folder with an optional comment, through the
// presenter's favorites service. The folder picker follows the store's folders
// while the sheet is open; "Unfiltered" is chosen at first when it exists. A
// window-modal sheet that deletes itself when closed; the presenter keeps the
// service alive while the sheet is shown.
//
// An app is a favorite at most once: for one that already is, the sheet says
// which folder holds it and "Add to Favorites" stays disabled.
class AddToFavoritesSheet : public QDialog {
    Q_OBJECT
public:
    static constexpr int sheetWidth = 400;
    static constexpr int sheetHeight = 450;

    AddToFavoritesSheet(const QSharedPointer<AppModel>& app, FavoritesService& favoritesService,
                        QWidget* parent = nullptr, ImageLoader* loader = nullptr);

    QSharedPointer<FavoriteFolder> selectedFolder() const;
    // The comment as typed: line breaks as "\n", every other character kept.
    QString comment() const;

    QComboBox* folderPicker() const { return m_folderPicker; }
    QPlainTextEdit* commentEditor() const { return m_commentEditor; }
    QPushButton* addButton() const { return m_addButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    QToolButton* newFolderButton() const { return m_newFolderButton; }
    // "Already in “<folder>”", shown while the app is a favorite.
    QLabel* alreadyFavoriteNotice() const { return m_alreadyFavorite; }
    // The new-folder sheet while it is shown.
    NewFolderSheet* newFolderSheet() const { return m_newFolderSheet; }

private:
    void reloadFolders();
    void refreshFavorite();
    void updateAddButton();
    void showNewFolderSheet();
    void add();

    QSharedPointer<AppModel> m_app;
    FavoritesService& m_favoritesService;
    QList<QSharedPointer<FavoriteFolder>> m_folders;
    QComboBox* m_folderPicker;
    QPlainTextEdit* m_commentEditor;
    QPushButton* m_addButton;
    QPushButton* m_cancelButton;
    QToolButton* m_newFolderButton;
    QLabel* m_alreadyFavorite;
    bool m_isFavorite = false;
    QPointer<NewFolderSheet> m_newFolderSheet;
};
