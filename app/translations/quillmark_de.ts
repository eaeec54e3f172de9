<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>TForm1</name>
    <message>
        <source>File</source>
        <translation>Datei</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Bearbeiten</translation>
    </message>
    <message>
        <source>View</source>
        <translation>Ansicht</translation>
    </message>
    <message>
        <source>Photo</source>
        <translation>Foto</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Open Image</source>
        <translation>Bild öffnen</translation>
    </message>
    <message>
        <source>Open </source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Open Photo</source>
        <translation>Foto öffnen</translation>
    </message>
    <message>
        <source>Open photo</source>
        <translation>Foto öffnen</translation>
    </message>
    <message>
        <source>Open Folder</source>
        <translation>Ordner öffnen</translation>
    </message>
    <message>
        <source> Folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open photo folder</source>
        <translation>Fotoordner öffnen</translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>Ordner öffnen</translation>
    </message>
    <message>
        <source>Save as ...</source>
        <translation>Speichern unter ...</translation>
    </message>
    <message>
        <source>Save as</source>
        <translation>Speichern unter</translation>
    </message>
    <message>
        <source>Save photo as ...</source>
        <translation>Foto speichern unter ...</translation>
    </message>
    <message>
        <source>Close All</source>
        <translation>Alle schließen</translation>
    </message>
    <message>
        <source>Recycle photo</source>
        <translation>Foto in den Papierkorb</translation>
    </message>
    <message>
        <source>Recycle</source>
        <translation>Papierkorb</translation>
    </message>
    <message>
        <source>Delete to recycle bin</source>
        <translation>In den Papierkorb verschieben</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Comment</source>
        <translation>Kommentar</translation>
    </message>
    <message>
        <source>Write Small</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy image to clipboard</source>
        <translation>Bild in die Zwischenablage kopieren</translation>
    </message>
    <message>
        <source>To Clpbrd</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy photo to clipboard</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copy to clipboard</source>
        <translation>In die Zwischenablage kopieren</translation>
    </message>
    <message>
        <source>First photo     (Home)</source>
        <translation>Erstes Foto     (Pos1)</translation>
    </message>
    <message>
        <source>First</source>
        <translation>Erstes</translation>
    </message>
    <message>
        <source>Go to first photo in thumb nail list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>First photo</source>
        <translation>Erstes Foto</translation>
    </message>
    <message>
        <source>Prior photo    (Page Up)</source>
        <translation>Voriges Foto    (Bild auf)</translation>
    </message>
    <message>
        <source>Prior</source>
        <translation>Voriges</translation>
    </message>
    <message>
        <source>Go to previous photo in thumb nail list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Prior photo</source>
        <translation>Voriges Foto</translation>
    </message>
    <message>
        <source>Next photo    (Page Down)</source>
        <translation>Nächstes Foto    (Bild ab)</translation>
    </message>
    <message>
        <source>Next</source>
        <translation>Nächstes</translation>
    </message>
    <message>
        <source>Go to next photo in thumb nail list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next photo</source>
        <translation>Nächstes Foto</translation>
    </message>
    <message>
        <source>Last photo     (End)</source>
        <translation>Letztes Foto     (Ende)</translation>
    </message>
    <message>
        <source>Last</source>
        <translation>Letztes</translation>
    </message>
    <message>
        <source>Go to last photo in thumb nail list</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Last photo</source>
        <translation>Letztes Foto</translation>
    </message>
    <message>
        <source>Fit to screen with aspect</source>
        <translation>An Fenster anpassen</translation>
    </message>
    <message>
        <source>Fit</source>
        <translation>Anpassen</translation>
    </message>
    <message>
        <source>Fit to window with aspect ratio maintained.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fit to window</source>
        <translation>An Fenster anpassen</translation>
    </message>
    <message>
        <source>View actual pixel size</source>
        <translation>Tatsächliche Pixelgröße</translation>
    </message>
    <message>
        <source>Actual</source>
        <translation>Original</translation>
    </message>
    <message>
        <source>Show actuall pixel size and pan photo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Actual pixel size</source>
        <translation>Tatsächliche Pixelgröße</translation>
    </message>
    <message>
        <source>Zoom In       (+)</source>
        <translation>Vergrößern       (+)</translation>
    </message>
    <message>
        <source>Zoom In</source>
        <translation>Vergrößern</translation>
    </message>
    <message>
        <source>Zoom photo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Zoom in</source>
        <translation>Vergrößern</translation>
    </message>
    <message>
        <source>Zoom Out   (-)</source>
        <translation>Verkleinern   (-)</translation>
    </message>
    <message>
        <source>Zoom Out</source>
        <translation>Verkleinern</translation>
    </message>
    <message>
        <source>Zoom out</source>
        <translation>Verkleinern</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Neu zeichnen</translation>
    </message>
    <message>
        <source>Rotate Left</source>
        <translation>Nach links drehen</translation>
    </message>
    <message>
        <source>Rotate L</source>
        <translation>Drehen L</translation>
    </message>
    <message>
        <source>Rotate photo left 90 degrees</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate left</source>
        <translation>Nach links drehen</translation>
    </message>
    <message>
        <source>Rotate Right</source>
        <translation>Nach rechts drehen</translation>
    </message>
    <message>
        <source>Rotate R</source>
        <translation>Drehen R</translation>
    </message>
    <message>
        <source>Rotate photo right 90 degrees</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rotate right</source>
        <translation>Nach rechts drehen</translation>
    </message>
    <message>
        <source>Flip photo</source>
        <translation>Foto umdrehen</translation>
    </message>
    <message>
        <source>Flip</source>
        <translation>Umdrehen</translation>
    </message>
    <message>
        <source>Flip photo 180 degrees</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mirror</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quillmark - homepage</source>
        <translation>Quillmark - Homepage</translation>
    </message>
    <message>
        <source>Home</source>
        <translation>Homepage</translation>
    </message>
    <message>
        <source>Quillmark - Home page</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Home page</source>
        <translation>Homepage</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>Show photo comments</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quillmark::TAboutBox</name>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>Version </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copyright © 2026 the Quillmark developers</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Written by the Quillmark developers in Bern</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check the website for updates and additional information.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Version:  </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Product:  </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>version: </source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quillmark::TForm1</name>
    <message>
        <source>Toolbar</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pictures (*.jpg;*.jpeg;*.png;*.bmp;*.tif;*.tiff)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>JPEG Image File (*.jpg;*.jpeg)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PNG Image File (*.png)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bitmaps (*.bmp)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>TIFF Image File (*.tif;*.tiff)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>There is no picture to save.</source>
        <translation>Es gibt kein Bild zum Speichern.</translation>
    </message>
    <message>
        <source>Save photo as</source>
        <translation>Foto speichern unter</translation>
    </message>
    <message>
        <source>Could not move %1 to the trash: %2</source>
        <translation>%1 konnte nicht in den Papierkorb verschoben werden: %2</translation>
    </message>
    <message>
        <source>Folder: </source>
        <translation>Ordner: </translation>
    </message>
    <message>
        <source>File: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No EXIF comment field detected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enter a new comment (limited to %1 characters )</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enter EXIF comment:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Comment set to: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Write small copy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>JPEG Image File (*.jpg)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Item</source>
        <translation>Eintrag</translation>
    </message>
    <message>
        <source>Details</source>
        <translation>Wert</translation>
    </message>
    <message>
        <source>Quillmark</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 (%2/%3)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File does not exists: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Filename: </source>
        <translation>Dateiname: </translation>
    </message>
    <message>
        <source>CompuServe GIF Image (*.gif)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ANI Image (*.ani)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PCX Image (*.pcx)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>JPEG Image File (*.jpeg)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Icons (*.ico)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enhanced Metafiles (*.emf)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Metafiles (*.wmf)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>TIFF Image File (*.tif)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nikon Image File (*.nef)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Open Image</source>
        <translation>Bild öffnen</translation>
    </message>
    <message>
        <source>Thumbnails</source>
        <translation>Vorschaubilder</translation>
    </message>
    <message>
        <source>Photo</source>
        <translation>Foto</translation>
    </message>
    <message>
        <source>Metadata</source>
        <translation>Metadaten</translation>
    </message>
    <message>
        <source>Exif Properties</source>
        <translation>Exif-Eigenschaften</translation>
    </message>
    <message>
        <source>Maker Data</source>
        <translation>Herstellerdaten</translation>
    </message>
    <message>
        <source>Summary</source>
        <translation>Zusammenfassung</translation>
    </message>
    <message>
        <source>Report</source>
        <translation>Bericht</translation>
    </message>
    <message>
        <source>Folder scan</source>
        <translation>Ordnersuche</translation>
    </message>
    <message>
        <source>Verbose</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Decode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>About...</source>
        <translation>Über...</translation>
    </message>
    <message>
        <source>Filename:</source>
        <translation>Dateiname:</translation>
    </message>
    <message>
        <source>Folder:</source>
        <translation>Ordner:</translation>
    </message>
    <message>
        <source>An unknown failure ended the command.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Select a folder of photos</source>
        <translation>Einen Fotoordner wählen</translation>
    </message>
    <message>
        <source>All (*.gif;*.ani;*.pcx;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf;*.tif;*.nef)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>quillmark::TfrmComment</name>
    <message>
        <source>Comment</source>
        <translation>Kommentar</translation>
    </message>
    <message>
        <source>JPEG comment of the photo</source>
        <translation>JPEG-Kommentar des Fotos</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
</TS>
