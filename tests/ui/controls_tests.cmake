# (filled in by the layer's author)
