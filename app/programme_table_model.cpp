#include "app/programme_table_model.h"

#include "app/error_text.h"
#include "app/qt_text.h"

namespace mirvaly {

ProgrammeTableModel::ProgrammeTableModel(ProgrammeList& list, UserPrompts& prompts, QObject* parent)
    : QAbstractTableModel(parent), m_list(list), m_prompts(prompts) {
    m_list.setListener(this);
}

ProgrammeTableModel::~ProgrammeTableModel() {
    m_list.setListener(nullptr);
}

int ProgrammeTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_list.rowCount();
}

int ProgrammeTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(programmeListColumns().size());
}

QVariant ProgrammeTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const ListColumn& column = programmeListColumns().at(index.column());
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return toQString(m_list.displayText(index.row(), column.field));
    return {};
}

bool ProgrammeTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    const ListColumn& column = programmeListColumns().at(index.column());
    bool stored = false;
    runGuarded(m_prompts, [&] {
        stored = m_list.editCell(index.row(), column.field, fromQString(value.toString()));
    });
    return stored;
}

QVariant ProgrammeTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= columnCount())
            return {};
        return toQString(programmeListColumns()[section].title);
    }
    return section == m_indicatorRow ? QStringLiteral("\u25B6") : QString();
}

Qt::ItemFlags ProgrammeTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (programmeListColumns().at(index.column()).field != kDateField)
        flags |= Qt::ItemIsEditable;
    return flags;
}

void ProgrammeTableModel::setIndicatorRow(int row) {
    int old = m_indicatorRow;
    m_indicatorRow = row;
    if (old >= 0 && old < rowCount())
        emit headerDataChanged(Qt::Vertical, old, old);
    if (row >= 0 && row < rowCount())
        emit headerDataChanged(Qt::Vertical, row, row);
}

void ProgrammeTableModel::listAboutToReset() {
    if (m_resetting)
        return;
    m_resetting = true;
    beginResetModel();
}

void ProgrammeTableModel::listReset() {
    if (!m_resetting)
        beginResetModel();
    m_resetting = false;
    m_indicatorRow = m_list.currentRow();
    endResetModel();
}

void ProgrammeTableModel::rowChanged(int row) {
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

}  // namespace mirvaly
