# Öffnet die Quelle über DirectShow für den Umwandler; der Platzhalter in
# Anführungszeichen unten wird durch den Pfad der Quelldatei ersetzt.
DirectShowSource("<%InputFile%>")
ConvertToYV12()
