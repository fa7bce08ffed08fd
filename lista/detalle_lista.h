#pragma once
// The rows of a list worth the operator's look, in a table (line, row, reason) that can be
// copied: the selected rows, or all of them, as tab-separated text a spreadsheet pastes into
// columns.

#include "lista/revision_lista.h"

#include <QDialog>
#include <QVector>

class QTableView;

class detalle_lista : public QDialog
{
    Q_OBJECT

public:
    explicit detalle_lista(const QVector<lista::ProblemaFila> &problemas, QWidget *parent = nullptr);

    QTableView *tabla() const { return m_vista; }

    // The rows `filas` (all when empty) as text: a title line, then one line per row with its
    // line number, the row and the reason separated by TABs.
    static QString textoDe(const QVector<lista::ProblemaFila> &problemas, const QVector<int> &filas = {});

public slots:
    // Copies the selected rows, or all when none is selected, to the clipboard.
    void copiar();

private:
    QVector<lista::ProblemaFila> m_problemas;
    QTableView *m_vista = nullptr;
};
