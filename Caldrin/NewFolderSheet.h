#pragma once

#include <QDialog>
#include <QSet>

#include <functional>

class ModelContext;
class QLabel;
class QLineEdit;
class QPushButton;

// Asks for the name of a new favorites folder and hands it, exactly as typed,
// to a callback. A window-modal sheet that deletes itself when closed.
//
// Folders are found by name, so a name means one folder: a name that a stored
// folder already has (exactly, as typed) cannot be created. The sheet follows
// the store's folders while it is open.
class NewFolderSheet : public QDialog {
    Q_OBJECT
public:
    using CreateCallback = std::function<void(const QString& name)>;

    static constexpr int sheetWidth = 300;
    static constexpr int sheetHeight = 150;

    NewFolderSheet(ModelContext& modelContext, CreateCallback onCreate, QWidget* parent = nullptr);

    QLineEdit* nameField() const { return m_nameField; }
    QPushButton* createButton() const { return m_createButton; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    // The line under the field that says the name is taken, shown only then.
    QLabel* takenNotice() const { return m_takenNotice; }

private:
    void reloadNames();
    void validate();
    void create();

    ModelContext& m_modelContext;
    CreateCallback m_onCreate;
    QSet<QString> m_takenNames;
    QLineEdit* m_nameField;
    QLabel* m_takenNotice;
    QPushButton* m_createButton;
    QPushButton* m_cancelButton;
};
