// Spanish: only the preview window, the find dialog and the progress texts
// are translated; everything else comes out in English.
#include <iterator>

#include "report/KyRDManStrings.h"

namespace hy {
namespace {

constexpr TKyRStringEntry kEntries[] = {
    {1103, "&Aceptar"},
    {1104, "&Cancelar"},
    {1202, "Archivo"},

    {1800, "Vista previa del informe"},
    {1801, "Imprimir en la impresora"},
    {1802, "Guardar el informe actual en un archivo"},
    {1803, "Una página"},
    {1804, "Varias páginas"},
    {1805, "Escala: "},
    {1806, "Cambiar la escala de visualización"},
    {1807, "ajustar al ancho de página"},
    {1808, "página completa"},
    {1809, "personalizada"},
    {1810, "Aumentar la escala"},
    {1811, "Reducir la escala"},
    {1812, "Mostrar/ocultar la lupa"},
    {1813, "Mostrar/ocultar los márgenes de página"},
    {1814, "Mostrar/ocultar la cuadrícula"},
    {1815, "Acerca de..."},
    {1816, "Cerrar la ventana de vista previa"},
    {1817, "Ayuda contextual"},
    {1818, "Lupa"},
    {1819, "Configurar impresora"},
    {1820, "Primera página"},
    {1821, "Página anterior"},
    {1822, "Página siguiente"},
    {1823, "Última página"},
    {1828, "página "},
    {1830, "de "},
    {1831, "Hoja"},
    {1853, "Abrir un informe desde un archivo"},

    {1840, "Buscar texto"},
    {1841, "&Texto a buscar:"},
    {1842, " Opciones "},
    {1843, "Distinguir &mayúsculas y minúsculas"},
    {1844, "Al principio de la cadena"},
    {1845, "Coincidencia exacta"},
    {1846, "En cualquier posición"},
    {1847, " Ámbito "},
    {1848, "Todo el informe"},
    {1849, "Página actual"},

    {2051, "Preparando la página %d de la hoja %d..."},
    {2052, "Imprimiendo la página %d de la hoja %d (copia %d)..."},
    {2053, "Imprimiendo..."},
    {2054, "Preparando..."},
    {2066, "Primera pasada: "},
    {2067, "Segunda pasada: "},
    {2074, "Exportando..."},
    {2075, "Exportando la página %d de la hoja %d..."},
};

}  // namespace

extern const TKyRStringBlock kKyRStringsSpanish{kEntries, std::size(kEntries)};

}  // namespace hy
