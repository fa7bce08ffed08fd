#include "app/pagina_gateways.h"

#include "app/lista_gateways.h"
#include "gateway/protocolo_ngw.h"
#include "ui_mainwindow.h"

#include <QHeaderView>
#include <QSpinBox>
#include <QStyledItemDelegate>

namespace {

enum Columna { Numero, Direccion, Clave, Activo, Ritmo, TopeHora, TopeDia };
enum ColumnaEstado { EstadoNumero, EstadoDireccion, EstadoHora, EstadoDia, EstadoRitmo, EstadoTexto };

QString textoCero(int columna)
{
    return columna == Ritmo ? PaginaGateways::tr("Normal") : PaginaGateways::tr("Sin límite");
}

// The pace and cap cells: edited with a spin box within the keys' range, 0 read as its meaning.
class DelegadoCantidad : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *padre, const QStyleOptionViewItem &,
                          const QModelIndex &indice) const override
    {
        auto *editor = new QSpinBox(padre);
        editor->setFrame(false);
        editor->setRange(0, indice.column() == Ritmo ? ajustes::kMaxRitmo : ajustes::kMaxTope);
        editor->setSpecialValueText(textoCero(indice.column()));
        return editor;
    }

protected:
    void initStyleOption(QStyleOptionViewItem *opcion, const QModelIndex &indice) const override
    {
        QStyledItemDelegate::initStyleOption(opcion, indice);
        if (indice.data(Qt::EditRole).toInt() == 0)
            opcion->text = textoCero(indice.column());
    }
};

// A table as tall as its rows: the tab scrolls, the table never does.
void ajustarAltura(QTableWidget *tabla)
{
    const int alto = tabla->horizontalHeader()->sizeHint().height() + tabla->verticalHeader()->length() +
                     2 * tabla->frameWidth();
    tabla->setFixedHeight(alto);
}

QTableWidgetItem *celda(const QString &texto, Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable)
{
    auto *item = new QTableWidgetItem(texto);
    item->setFlags(flags);
    return item;
}

} // namespace

PaginaGateways::PaginaGateways(Ui::MainWindow *ui) : m_ui(ui)
{
    QTableWidget *tabla = m_ui->tablaGateways;
    auto *delegado = new DelegadoCantidad(tabla);
    for (const int columna : {Ritmo, TopeHora, TopeDia})
        tabla->setItemDelegateForColumn(columna, delegado);
    QHeaderView *cabecera = tabla->horizontalHeader();
    cabecera->setSectionResizeMode(QHeaderView::ResizeToContents);
    cabecera->setSectionResizeMode(Direccion, QHeaderView::Stretch);
    cabecera->setSectionResizeMode(Clave, QHeaderView::Stretch);

    QTableWidget *estado = m_ui->tablaEstadoGateways;
    estado->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    estado->horizontalHeader()->setSectionResizeMode(EstadoTexto, QHeaderView::Stretch);
    estado->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    estado->hide();

    QObject::connect(m_ui->botonAgregarGateway, &QPushButton::clicked, tabla, [this] { agregar(); });
    QObject::connect(m_ui->botonQuitarGateway, &QPushButton::clicked, tabla, [this] { quitar(); });
}

void PaginaGateways::cargar()
{
    const QVector<ajustes::AjustesGateway> guardados = lista_gateways::leer();
    const ajustes::AjustesGateway &primero = guardados.constFirst();
    m_ui->spinRitmo->setValue(primero.ritmo);
    m_ui->spinTopeHora->setValue(primero.topeHora);
    m_ui->spinTopeDia->setValue(primero.topeDia);
    m_ui->checkMismoGateway->setChecked(ajustes::leerBool(ajustes::Clave::MismoGatewayPorNumero));
    m_ui->tablaGateways->setRowCount(0);
    for (const ajustes::AjustesGateway &g : guardados) {
        if (g.numero != 1)
            agregarFila(g);
    }
    ajustarControles();
}

void PaginaGateways::terminarEdicion()
{
    // Moving the current cell away commits its open editor.
    QItemSelectionModel *seleccion = m_ui->tablaGateways->selectionModel();
    const QModelIndex actual = seleccion->currentIndex();
    seleccion->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    seleccion->setCurrentIndex(actual, QItemSelectionModel::NoUpdate);
}

QVector<ajustes::AjustesGateway> PaginaGateways::lista() const
{
    ajustes::AjustesGateway primero;
    primero.numero = 1;
    primero.direccion = m_ui->IPGateway->text();
    primero.clave = m_ui->NgwKey->text();
    primero.ritmo = m_ui->spinRitmo->value();
    primero.topeHora = m_ui->spinTopeHora->value();
    primero.topeDia = m_ui->spinTopeDia->value();
    QVector<ajustes::AjustesGateway> lista{primero};
    const QTableWidget *tabla = m_ui->tablaGateways;
    for (int fila = 0; fila < tabla->rowCount(); ++fila) {
        ajustes::AjustesGateway g;
        g.numero = tabla->item(fila, Numero)->data(Qt::UserRole).toInt();
        g.direccion = tabla->item(fila, Direccion)->text();
        g.clave = tabla->item(fila, Clave)->text();
        g.activo = tabla->item(fila, Activo)->checkState() == Qt::Checked;
        g.ritmo = tabla->item(fila, Ritmo)->data(Qt::EditRole).toInt();
        g.topeHora = tabla->item(fila, TopeHora)->data(Qt::EditRole).toInt();
        g.topeDia = tabla->item(fila, TopeDia)->data(Qt::EditRole).toInt();
        lista.append(g);
    }
    return lista;
}

bool PaginaGateways::mismoGateway() const
{
    return m_ui->checkMismoGateway->isChecked();
}

int PaginaGateways::elegido() const
{
    const QTableWidget *tabla = m_ui->tablaGateways;
    if (tabla->rowCount() == 0)
        return 0;
    const int fila = qMax(0, tabla->currentRow());
    return tabla->item(fila, Numero)->data(Qt::UserRole).toInt();
}

void PaginaGateways::agregar()
{
    ajustes::AjustesGateway g;
    g.numero = lista_gateways::numeroLibre(lista());
    if (g.numero == 0)
        return;
    agregarFila(g);
    ajustarControles();
    QTableWidget *tabla = m_ui->tablaGateways;
    for (int fila = 0; fila < tabla->rowCount(); ++fila) {
        if (tabla->item(fila, Numero)->data(Qt::UserRole).toInt() == g.numero) {
            tabla->setCurrentCell(fila, Direccion);
            tabla->editItem(tabla->item(fila, Direccion));
        }
    }
}

void PaginaGateways::quitar()
{
    QTableWidget *tabla = m_ui->tablaGateways;
    if (tabla->rowCount() == 0)
        return;
    tabla->removeRow(qMax(0, tabla->currentRow()));
    ajustarControles();
}

void PaginaGateways::agregarFila(const ajustes::AjustesGateway &g)
{
    QTableWidget *tabla = m_ui->tablaGateways;
    // In order of number, whatever order they were added in.
    int fila = 0;
    while (fila < tabla->rowCount() && tabla->item(fila, Numero)->data(Qt::UserRole).toInt() < g.numero)
        ++fila;
    tabla->insertRow(fila);
    const Qt::ItemFlags editable = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
    QTableWidgetItem *numero = celda(QString::number(g.numero));
    numero->setData(Qt::UserRole, g.numero);
    numero->setTextAlignment(Qt::AlignCenter);
    tabla->setItem(fila, Numero, numero);
    tabla->setItem(fila, Direccion, celda(g.direccion, editable));
    tabla->setItem(fila, Clave, celda(protocolo_ngw::claveSinPrefijo(g.clave), editable));
    QTableWidgetItem *activo =
        celda(QString(), Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    activo->setCheckState(g.activo ? Qt::Checked : Qt::Unchecked);
    tabla->setItem(fila, Activo, activo);
    const std::pair<int, int> cantidades[] = {{Ritmo, g.ritmo}, {TopeHora, g.topeHora}, {TopeDia, g.topeDia}};
    for (const auto &c : cantidades) {
        QTableWidgetItem *item = celda(QString(), editable);
        item->setData(Qt::EditRole, c.second);
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        tabla->setItem(fila, c.first, item);
    }
}

void PaginaGateways::ajustarControles()
{
    const int filas = m_ui->tablaGateways->rowCount();
    for (QWidget *w : std::initializer_list<QWidget *>{m_ui->tablaGateways, m_ui->botonQuitarGateway,
                                                       m_ui->botonProbarGateway, m_ui->checkMismoGateway})
        w->setVisible(filas > 0);
    m_ui->botonAgregarGateway->setEnabled(filas < ajustes::kMaxGateways - 1);
    ajustarAltura(m_ui->tablaGateways);
}

void PaginaGateways::mostrar(const servicio::Instantanea &instantanea)
{
    const bool visible = lista_gateways::hayQueMostrar(instantanea.gateways);
    if (visible != m_mostrado) {
        m_mostrado = visible;
        m_ui->tablaEstadoGateways->setVisible(visible);
    }
    if (!visible)
        return;
    QTableWidget *tabla = m_ui->tablaEstadoGateways;
    if (instantanea.gateways != m_mostrados) {
        m_mostrados = instantanea.gateways;
        tabla->setRowCount(m_mostrados.size());
        for (int fila = 0; fila < m_mostrados.size(); ++fila) {
            const servicio::EstadoGateway &g = m_mostrados.at(fila);
            const QString textos[] = {QString::number(g.numero),
                                      g.direccion,
                                      lista_gateways::textoHora(g.situacion),
                                      lista_gateways::textoDia(g.situacion),
                                      lista_gateways::textoRitmo(g.situacion.ritmo),
                                      lista_gateways::textoEstado(g)};
            for (int columna = EstadoNumero; columna <= EstadoTexto; ++columna) {
                QTableWidgetItem *item = tabla->item(fila, columna);
                if (!item) {
                    item = celda(QString(), Qt::ItemIsEnabled);
                    if (columna != EstadoDireccion && columna != EstadoTexto)
                        item->setTextAlignment(Qt::AlignCenter);
                    tabla->setItem(fila, columna, item);
                }
                if (item->text() != textos[columna])
                    item->setText(textos[columna]);
            }
        }
    }
    // A long state wraps within its row; the rows are measured on the widths of this moment.
    tabla->resizeRowsToContents();
    ajustarAltura(tabla);
}
