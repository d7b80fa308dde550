#pragma once

// The grid's view of the ProgrammeList: eight columns in display order, the
// calculated date read-only, every other cell editable in place. Rows can be
// neither added nor removed. An edit goes to ProgrammeList::editCell, which
// stores only what the list's update statement writes.

#include <QAbstractTableModel>

#include "app/programme_list.h"
#include "common/user_prompts.h"

namespace mirvaly {

class ProgrammeTableModel : public QAbstractTableModel, private ProgrammeList::Listener {
    Q_OBJECT
public:
    // Database errors of a write-back go to `prompts`' standard error box.
    ProgrammeTableModel(ProgrammeList& list, UserPrompts& prompts, QObject* parent = nullptr);
    ~ProgrammeTableModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Marks the cursor's row in the row indicator column.
    void setIndicatorRow(int row);

private:
    void listAboutToReset() override;
    void listReset() override;
    void rowChanged(int row) override;

    ProgrammeList& m_list;
    UserPrompts& m_prompts;
    int m_indicatorRow = -1;
    bool m_resetting = false;
};

}  // namespace mirvaly
