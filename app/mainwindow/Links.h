#pragma once

#include <array>

namespace vantorel {

// The wallpaper sites of the Links menu and of the links drop-down.
struct TLink {
    const char *Title;
    const char *Address;
};

inline constexpr std::array<TLink, 21> kWallpaperLinks = {{
    {"Unsplash Wallpapers", "https://unsplash.com/wallpapers"},
    {"Wallhaven", "https://wallhaven.cc/"},
    {"Pexels", "https://www.pexels.com/"},
    {"Pixabay", "https://pixabay.com/"},
    {"Wallpaper Abyss", "https://wall.alphacoders.com/"},
    {"WallpaperAccess", "https://wallpaperaccess.com/"},
    {"WallpaperCave", "https://wallpapercave.com/"},
    {"WallpapersCraft", "https://wallpaperscraft.com/"},
    {"WallpapersWide", "http://wallpaperswide.com/"},
    {"Wallpaper Flare", "https://www.wallpaperflare.com/"},
    {"HD Wallpapers", "https://www.hdwallpapers.in/"},
    {"Desktop Nexus", "https://www.desktopnexus.com/"},
    {"InterfaceLIFT", "https://interfacelift.com/"},
    {"Simple Desktops", "http://simpledesktops.com/"},
    {"Vladstudio", "https://vlad.studio/"},
    {"Zedge", "https://www.zedge.net/"},
    {"DeviantArt", "https://www.deviantart.com/"},
    {"Flickr Explore", "https://www.flickr.com/explore"},
    {"Wikimedia Commons Picture of the Day", "https://commons.wikimedia.org/wiki/Commons:Picture_of_the_day"},
    {"NASA Image of the Day", "https://www.nasa.gov/image-of-the-day/"},
    {"National Geographic Photo of the Day", "https://www.nationalgeographic.com/photo-of-the-day"},
}};

} // namespace vantorel
