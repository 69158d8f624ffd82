#include "app/infotext.h"

#include <QStringList>

QString infoText()
{
    const QString lineBreak = QStringLiteral("\r\n");
    // The description is worded and broken as it has always been shown, "ZAMG ." and
    // "MehrereSatellitenbilder" included: kept on purpose, please do not correct them.
    const QStringList pieces = {
        QStringLiteral("Nubilo " NUBILO_VERSION) + lineBreak,
        QStringLiteral("Sammelt METEOSAT-Satellitenbilder und spielt sie als Animation ab."),
        QStringLiteral("Freie Software unter der MIT-Lizenz (siehe Datei LICENSE)."),
        QStringLiteral("Ohne jede Gewährleistung: Benutzung auf eigene Gefahr."),
        QStringLiteral("Fehler bitte im Issue-Tracker des Nubilo-Projekts melden.") + lineBreak,
        QStringLiteral("Die ZAMG Wien zeigt auf ihrer Homepage http://www.zamg.ac.at"),
        QStringLiteral("nur das aktuelle Meteosat Satellitenbild. Für die Analyse der Wetterentwicklung"),
        QStringLiteral("wäre aber die Darstellung der Bilder über mehrere Stunden sinnvoll."),
        QStringLiteral("Dieses Programm holt sich auf Knopfdruck über Internet das aktuelle Meteosat"),
        QStringLiteral("Satellitenbild von der ZAMG . MehrereSatellitenbilder können als Animation"),
        QStringLiteral("hintereinander abgespielt werden. Die Meteosat-Bilder werden bei der ZAMG"),
        QStringLiteral("stündlich erneuert. Die geladenen Bilder werden in der Dateiliste angezeigt."),
        QStringLiteral("Der Dateiname enthält Datum und Zeit des Downloads. Sie können nun"),
        QStringLiteral("beliebige Dateien zum Abspielen oder löschen auswählen."),
        QString(),
        QString(),
    };
    QString text;
    for (const QString &piece : pieces)
        text += piece + lineBreak;
    return text;
}
