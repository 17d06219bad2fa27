# Replaced by the data resources (catalogue, images, looks, documents).
