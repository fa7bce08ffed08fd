#include "app/mainwindow.h"

#include "app/pagina_lista.h"

// The list page's operations and slots, done by PaginaLista.

QStringList MainWindow::separarLinea(const QString &linea) const
{
    return m_lista->separarLinea(linea);
}

void MainWindow::detectarColumnasConHeader(const QString &ruta, bool mostrarErrores)
{
    m_lista->detectarColumnasConHeader(ruta, mostrarErrores);
}

void MainWindow::detectarColumnasSinHeader(const QString &ruta, bool mostrarErrores)
{
    m_lista->detectarColumnasSinHeader(ruta, mostrarErrores);
}

int MainWindow::buscarColumna(const QString &referencia) const
{
    return m_lista->buscarColumna(referencia);
}

QString MainWindow::valorCelular(const QStringList &campos) const
{
    return m_lista->valorCelular(campos);
}

QString MainWindow::valorFecha(const QStringList &campos) const
{
    return m_lista->valorFecha(campos);
}

QString MainWindow::transformarSms(const QString &plantilla, const QStringList &campos)
{
    return m_lista->transformarSms(plantilla, campos);
}

QString MainWindow::verificarCampos() const
{
    return m_lista->verificarCampos();
}

QStringList MainWindow::obtenerColumnas() const
{
    return m_lista->obtenerColumnas();
}

bool MainWindow::agregarFilaOutbox(const QString &linea, bool)
{
    return m_lista->agregarFilaOutbox(linea);
}

void MainWindow::on_cfgLista_clicked()
{
    m_lista->configurarFormato();
}

void MainWindow::on_BuscarArchivo_clicked()
{
    m_lista->buscarArchivo();
}

void MainWindow::on_pushAgregarCampo_clicked()
{
    m_lista->agregarCampo();
}

void MainWindow::on_editFormatoSMS_textChanged()
{
    m_lista->mostrarPlantilla();
}

void MainWindow::on_SmsListaUp_clicked()
{
    m_lista->filaSiguiente();
}

void MainWindow::on_SmsListaDown_clicked()
{
    m_lista->filaAnterior();
}

void MainWindow::on_TextoManual_textChanged()
{
    m_lista->contarManual();
}
