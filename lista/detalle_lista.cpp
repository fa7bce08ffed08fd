#include "lista/detalle_lista.h"

#include "lista/celda_hoja.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// A view over the rows, without an item per cell: a long list may have many thousands of them.
class ModeloDetalle : public QAbstractTableModel
{
public:
    ModeloDetalle(const QVector<lista::ProblemaFila> &problemas, QObject *padre)
        : QAbstractTableModel(padre), m_problemas(problemas)
    {
    }

    int rowCount(const QModelIndex &padre) const override { return padre.isValid() ? 0 : m_problemas.size(); }
    int columnCount(const QModelIndex &padre) const override { return padre.isValid() ? 0 : 3; }

    QVariant data(const QModelIndex &indice, int rol) const override
    {
        if (!indice.isValid() || (rol != Qt::DisplayRole && rol != Qt::ToolTipRole))
            return QVariant();
        const lista::ProblemaFila &p = m_problemas.at(indice.row());
        switch (indice.column()) {
        case 0:
            return p.linea;
        case 1:
            return p.fila;
        default:
            return p.motivo;
        }
    }

    QVariant headerData(int seccion, Qt::Orientation orientacion, int rol) const override
    {
        if (orientacion != Qt::Horizontal || rol != Qt::DisplayRole)
            return QAbstractTableModel::headerData(seccion, orientacion, rol);
        switch (seccion) {
        case 0:
            return detalle_lista::tr("Línea");
        case 1:
            return detalle_lista::tr("Fila");
        default:
            return detalle_lista::tr("Motivo");
        }
    }

private:
    const QVector<lista::ProblemaFila> &m_problemas;
};

// A field as a spreadsheet pastes it, as text: quoted when it holds a TAB, a quote or a line break.
QString campo(const QString &celda)
{
    const QString texto = lista::celdaParaHoja(celda);
    if (!texto.contains(QLatin1Char('\t')) && !texto.contains(QLatin1Char('"')) &&
        !texto.contains(QLatin1Char('\n')) && !texto.contains(QLatin1Char('\r')))
        return texto;
    QString citado = texto;
    citado.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + citado + QLatin1Char('"');
}

} // namespace

detalle_lista::detalle_lista(const QVector<lista::ProblemaFila> &problemas, QWidget *parent)
    : QDialog(parent), m_problemas(problemas)
{
    setWindowTitle(tr("Detalle de la lista"));
    resize(640, 400);
    m_vista = new QTableView(this);
    m_vista->setModel(new ModeloDetalle(m_problemas, this));
    m_vista->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_vista->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_vista->verticalHeader()->hide();
    m_vista->horizontalHeader()->setStretchLastSection(true);
    m_vista->setColumnWidth(0, 60);
    m_vista->setColumnWidth(1, 360);

    auto *botones = new QDialogButtonBox(QDialogButtonBox::Close, this);
    botones->button(QDialogButtonBox::Close)->setText(tr("Cerrar"));
    QPushButton *copiarBoton = botones->addButton(tr("Copiar"), QDialogButtonBox::ActionRole);
    copiarBoton->setObjectName(QStringLiteral("copiar"));
    connect(copiarBoton, &QPushButton::clicked, this, &detalle_lista::copiar);
    connect(botones, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *atajo = new QShortcut(QKeySequence::Copy, m_vista);
    connect(atajo, &QShortcut::activated, this, &detalle_lista::copiar);

    auto *capas = new QVBoxLayout(this);
    capas->addWidget(m_vista);
    capas->addWidget(botones);
}

QString detalle_lista::textoDe(const QVector<lista::ProblemaFila> &problemas, const QVector<int> &filas)
{
    QString texto =
        tr("Línea") + QLatin1Char('\t') + tr("Fila") + QLatin1Char('\t') + tr("Motivo") + QLatin1Char('\n');
    auto agregar = [&](const lista::ProblemaFila &p) {
        texto += QString::number(p.linea) + QLatin1Char('\t') + campo(p.fila) + QLatin1Char('\t') +
                 campo(p.motivo) + QLatin1Char('\n');
    };
    if (filas.isEmpty()) {
        for (const lista::ProblemaFila &p : problemas)
            agregar(p);
    }
    for (const int k : filas) {
        if (k >= 0 && k < problemas.size())
            agregar(problemas.at(k));
    }
    return texto;
}

void detalle_lista::copiar()
{
    QVector<int> filas;
    for (const QModelIndex &i : m_vista->selectionModel()->selectedRows())
        filas << i.row();
    std::sort(filas.begin(), filas.end());
    QApplication::clipboard()->setText(textoDe(m_problemas, filas));
}
