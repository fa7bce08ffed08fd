#include "ui/vista_ayuda.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

bool esWeb(const QWidget *visor)
{
    return !qobject_cast<const QTextBrowser *>(visor);
}

} // namespace

VistaAyuda::VistaAyuda(QWidget *parent) : QWidget(parent)
{
    auto *capas = new QVBoxLayout(this);
    capas->setContentsMargins(0, 0, 0, 0);
}

void VistaAyuda::cargar(const QUrl &pagina)
{
    m_pagina = pagina;
    if (m_visor)
        mostrarPagina();
}

void VistaAyuda::showEvent(QShowEvent *evento)
{
    QWidget::showEvent(evento);
    if (m_visor)
        return;
    m_visor = crearVisorWeb();
    if (!m_visor)
        m_visor = new QTextBrowser(this);
    m_visor->setObjectName(QStringLiteral("visorAyuda"));
    layout()->addWidget(m_visor);
    if (!m_pagina.isEmpty())
        mostrarPagina();
}

QStringList VistaAyuda::rutasVisorWeb(const QString &carpetaPrograma)
{
#ifdef NBSMS_VISOR_AYUDA
    const QString nombre = QFileInfo(QStringLiteral(NBSMS_VISOR_AYUDA)).fileName();
    const QDir carpeta(carpetaPrograma);
    return {carpeta.filePath(nombre),
            QDir::cleanPath(carpeta.filePath(QStringLiteral(NBSMS_VISOR_RELATIVO "/") + nombre)),
            QStringLiteral(NBSMS_VISOR_AYUDA)};
#else
    Q_UNUSED(carpetaPrograma)
    return {};
#endif
}

// The web view from its module; null where there is none.
QWidget *VistaAyuda::crearVisorWeb()
{
    using Crear = QWidget *(*)(QWidget *);
    for (const QString &ruta : rutasVisorWeb(QCoreApplication::applicationDirPath())) {
        QLibrary modulo(ruta);
        if (const auto crear = reinterpret_cast<Crear>(modulo.resolve("nbsms_crear_visor_ayuda")))
            return crear(this);
    }
    return nullptr;
}

void VistaAyuda::mostrarPagina()
{
    if (esWeb(m_visor))
        m_visor->setProperty("url", m_pagina);
    else
        static_cast<QTextBrowser *>(m_visor)->setSource(m_pagina);
}
