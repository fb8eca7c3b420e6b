// Placeholder: the image component's codecs.
