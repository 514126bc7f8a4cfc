"""What the desktop integration tests share: the application id, and telling
the application's icon from GTK's stand-in for a missing one."""

from harness import APPLICATION_ID, window_icon  # noqa: F401 (shared)


def _pixel(icon, fx, fy):
    width, height, pixels = icon
    argb = pixels[int(fy * height) * width + int(fx * width)]
    return [(argb >> shift) & 0xFF for shift in (24, 16, 8, 0)]


def shows_application_icon(xid):
    """Whether the window's icon is the application's: the orange arrowhead
    at the upper right over the dark blue tile."""
    icon = window_icon(xid)
    if icon is None or not icon[2]:
        return False
    a, r, g, b = _pixel(icon, 0.66, 0.30)
    arrow = a > 200 and r > 180 and 90 < g < 180 and b < 120
    a, r, g, b = _pixel(icon, 0.20, 0.50)
    tile = a > 200 and r < 80 and g < 90 and b < 110 and b > r
    return arrow and tile
