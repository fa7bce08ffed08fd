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
    ModeloDetalle(std::function<lista::ProblemaFila(int)> problema, int cantidad, QObject *padre)
        : QAbstractTableModel(padre), m_problema(std::move(problema)), m_cantidad(cantidad)
    {
    }

    int rowCount(const QModelIndex &padre) const override { return padre.isValid() ? 0 : m_cantidad; }
    int columnCount(const QModelIndex &padre) const override { return padre.isValid() ? 0 : 3; }

    QVariant data(const QModelIndex &indice, int rol) const override
    {
        if (!indice.isValid() || (rol != Qt::DisplayRole && rol != Qt::ToolTipRole))
            return QVariant();
        // The view asks for a row's cells one after another: the row is read once.
        if (indice.row() != m_fila) {
            m_actual = m_problema(indice.row());
            m_fila = indice.row();
        }
        switch (indice.column()) {
        case 0:
            return m_actual.linea;
        case 1:
            return m_actual.fila;
        default:
            return m_actual.motivo;
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
    std::function<lista::ProblemaFila(int)> m_problema;
    int m_cantidad = 0;
    mutable int m_fila = -1;
    mutable lista::ProblemaFila m_actual;
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
    : QDialog(parent), m_problemas(problemas), m_cantidad(problemas.size())
{
    m_problema = [this](int k) { return m_problemas.at(k); };
    construir();
}

detalle_lista::detalle_lista(const lista::RevisionLista &revision, QWidget *parent)
    : QDialog(parent), m_cantidad(revision.cantidadProblemas())
{
    m_problema = [&revision](int k) { return revision.problema(k); };
    construir();
}

void detalle_lista::construir()
{
    setWindowTitle(tr("Detalle de la lista"));
    resize(640, 400);
    m_vista = new QTableView(this);
    m_vista->setModel(new ModeloDetalle(m_problema, m_cantidad, this));
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
    return textoDe([&problemas](int k) { return problemas.at(k); }, problemas.size(), filas);
}

QString detalle_lista::textoDe(const Fuente &problema, int cantidad, const QVector<int> &filas)
{
    QString texto =
        tr("Línea") + QLatin1Char('\t') + tr("Fila") + QLatin1Char('\t') + tr("Motivo") + QLatin1Char('\n');
    auto agregar = [&](const lista::ProblemaFila &p) {
        texto += QString::number(p.linea) + QLatin1Char('\t') + campo(p.fila) + QLatin1Char('\t') +
                 campo(p.motivo) + QLatin1Char('\n');
    };
    if (filas.isEmpty()) {
        for (int k = 0; k < cantidad; ++k)
            agregar(problema(k));
    }
    for (const int k : filas) {
        if (k >= 0 && k < cantidad)
            agregar(problema(k));
    }
    return texto;
}

void detalle_lista::copiar()
{
    QVector<int> filas;
    for (const QModelIndex &i : m_vista->selectionModel()->selectedRows())
        filas << i.row();
    std::sort(filas.begin(), filas.end());
    QApplication::clipboard()->setText(textoDe(m_problema, m_cantidad, filas));
}
