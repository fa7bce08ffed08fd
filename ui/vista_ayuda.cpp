#include "ui/vista_ayuda.h"

#include <QVBoxLayout>

#ifdef NBSMS_WEBKIT
#include <QtWebKitWidgets/QWebView>
#else
#include <QTextBrowser>
#endif

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
#ifdef NBSMS_WEBKIT
    m_visor = new QWebView(this);
#else
    m_visor = new QTextBrowser(this);
#endif
    m_visor->setObjectName(QStringLiteral("visorAyuda"));
    layout()->addWidget(m_visor);
    if (!m_pagina.isEmpty())
        mostrarPagina();
}

void VistaAyuda::mostrarPagina()
{
#ifdef NBSMS_WEBKIT
    static_cast<QWebView *>(m_visor)->load(m_pagina);
#else
    static_cast<QTextBrowser *>(m_visor)->setSource(m_pagina);
#endif
}
