#pragma once
// The rows of a list worth the operator's look, in a table (line, row, reason) that can be
// copied: the selected rows, or all of them, as tab-separated text a spreadsheet pastes into
// columns.

#include "lista/revision_lista.h"

#include <QDialog>
#include <QVector>

#include <functional>

class QTableView;

class detalle_lista : public QDialog
{
    Q_OBJECT

public:
    explicit detalle_lista(const QVector<lista::ProblemaFila> &problemas, QWidget *parent = nullptr);
    // The problems of a check pass, each read only when shown or copied: a long list's rows are
    // not copied. `revision` must outlive the dialog.
    explicit detalle_lista(const lista::RevisionLista &revision, QWidget *parent = nullptr);

    QTableView *tabla() const { return m_vista; }

    // The rows `filas` (all when empty) as text: a title line, then one line per row with its
    // line number, the row and the reason separated by TABs.
    static QString textoDe(const QVector<lista::ProblemaFila> &problemas, const QVector<int> &filas = {});

public slots:
    // Copies the selected rows, or all when none is selected, to the clipboard.
    void copiar();

private:
    using Fuente = std::function<lista::ProblemaFila(int)>;
    void construir();
    static QString textoDe(const Fuente &problema, int cantidad, const QVector<int> &filas);

    QVector<lista::ProblemaFila> m_problemas;
    Fuente m_problema;
    int m_cantidad = 0;
    QTableView *m_vista = nullptr;
};
