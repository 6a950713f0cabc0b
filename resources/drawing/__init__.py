"""The drawings of make_images.py, one module per family of pictures."""
