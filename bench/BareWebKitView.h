// A bare WebKitGTK view in an offscreen window, driven by GLib's loop alone: the floor
// the benchmarks compare the platform's web views against. Main thread only.
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

namespace morvanebench {

struct BareWebKitView {
  explicit BareWebKitView(int width = 320, int height = 480) {
    window = gtk_offscreen_window_new();
    gtk_window_set_default_size(GTK_WINDOW(window), width, height);
    view = WEBKIT_WEB_VIEW(webkit_web_view_new());
    gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(view));
    gtk_widget_show_all(window);
    g_signal_connect(view, "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer self) {
                       if (event == WEBKIT_LOAD_FINISHED) static_cast<BareWebKitView*>(self)->finished = true;
                     }),
                     this);
  }
  ~BareWebKitView() { gtk_widget_destroy(window); }
  BareWebKitView(const BareWebKitView&) = delete;
  BareWebKitView& operator=(const BareWebKitView&) = delete;

  // Starts loading; `finished` turns true once GLib's loop has run the load to its end.
  void startLoad(const char* html, const char* base) {
    finished = false;
    webkit_web_view_load_html(view, html, base);
  }

  GtkWidget* window = nullptr;
  WebKitWebView* view = nullptr;
  bool finished = false;
};

}  // namespace morvanebench
