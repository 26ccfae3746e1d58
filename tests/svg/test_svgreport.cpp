// placeholder, filled once the XML reader is in
