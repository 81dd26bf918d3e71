#include "NewestAppsPresenter.h"

#include "CategoryListModel.h"
#include "ContentView.h"

#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>

void NewestAppsPresenter::present(ContentView& window) {
    window.setSelectedTab(ContentTab::general);
    // Through the category list's selection, as a click on "All" would go.
    const CategoryListModel& categories = window.categoryList();
    const int all = categories.rowForCategory(QStringLiteral("All"));
    if (all >= 0)
        window.categoryView()->selectionModel()->setCurrentIndex(categories.index(all),
                                                                 QItemSelectionModel::ClearAndSelect);
    window.searchField()->clear();
    window.appListView()->scrollToTop();
}
