#!/usr/bin/env python3
"""The exported cookbook in a real browser (headless chromium).

Builds a store with pictures (PNG, JPEG, GIF, BMP written by ImageMagick) through guisla-tool
import, exports it with guisla-tool export --html, and then:
  - loads index.html and every page it links to, each in a frame of a checking page: every page
    must load, every picture must decode (no broken image), and the browser must log no console
    message (uncaught errors, console calls);
  - prints the longest recipe to PDF: it must be one A4 page.
Exits 0 when all holds; prints what failed otherwise.
"""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

CHROMIUM_FLAGS = [
    "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
]

# Loads index.html, then every page it links to, one at a time in a frame; waits for each page's
# pictures, and writes what it saw as JSON into <pre id="out">.
CHECK_PAGE = """<!DOCTYPE html><html><body><pre id="out">pending</pre><script>
function load(src) {
  return new Promise(done => {
    const frame = document.createElement('iframe');
    frame.onload = () => done(frame);
    frame.src = src;
    document.body.appendChild(frame);
  });
}
(async () => {
  const results = [];
  try {
    const index = await load('export/index.html');
    const pages = ['index.html', ...[...index.contentDocument.querySelectorAll('a[href]')].map(a => a.getAttribute('href'))];
    for (const page of pages) {
      const frame = await load('export/' + page);
      const doc = frame.contentDocument;
      const images = [...doc.images];
      await Promise.all(images.map(i => i.complete ? 0 : new Promise(r => { i.onload = i.onerror = r; })));
      results.push({page: page, title: doc.title, loaded: doc.body !== null && doc.body.children.length > 0,
                    images: images.length, broken: images.filter(i => !(i.naturalWidth > 0)).map(i => i.getAttribute('src')),
                    links: [...doc.querySelectorAll('a[href]')].map(a => a.getAttribute('href'))});
    }
  } catch (e) {
    results.push({error: String(e)});
  }
  document.getElementById('out').textContent = JSON.stringify(results);
})();
</script></body></html>
"""


def recipes(work):
    """Five recipes with accents; four pictures in four formats, one recipe without."""
    pictures = {"gradiente.png": "gradient:#e8de99-#7a3d00", "plasma.jpg": "plasma:fractal",
                "rojo.gif": "xc:#c03020", "verde.bmp": "gradient:#208040-#e0f0e0"}
    for name, source in pictures.items():
        subprocess.run(["convert", "-size", "480x360", "-seed", "7", source, os.path.join(work, name)], check=True)
    long_steps = [f"Paso {i}: remover con cuidado y probar de sal; a\u00f1adir un poco de caldo si hace falta." for i in
                  range(1, 13)]
    return [
        {"@type": "Recipe", "name": "Paella valenciana", "recipeCategory": "Arroces",
         "recipeIngredient": [f"{i * 50} g de ingrediente n\u00ba {i} (\u00bd taza)" for i in range(1, 19)],
         "recipeInstructions": [{"@type": "HowToStep", "text": s} for s in long_steps], "image": "gradiente.png"},
        {"@type": "Recipe", "name": "Gazpacho andaluz", "recipeCategory": "Sopa",
         "recipeIngredient": ["1 kg de tomate", "1 pepino", "aceite & vinagre"],
         "recipeInstructions": "Triturar.\nEnfriar.", "image": "plasma.jpg"},
        {"@type": "Recipe", "name": "Crema de calabaza", "recipeCategory": "Cremas",
         "recipeIngredient": ["calabaza"], "recipeInstructions": ["Cocer", "Triturar"], "image": "rojo.gif"},
        {"@type": "Recipe", "name": "Ensalada <verde> \u201cfresca\u201d", "recipeCategory": "Salad",
         "recipeIngredient": ["lechuga"], "recipeInstructions": ["Ali\u00f1ar"], "image": "verde.bmp"},
        {"@type": "Recipe", "name": "Flan de huevo", "recipeCategory": "Flanes",
         "recipeIngredient": ["4 huevos", "leche"], "recipeInstructions": ["Cuajar al ba\u00f1o mar\u00eda"]},
    ]


def chromium(args, work, log):
    with open(log, "wb") as err:
        return subprocess.run(["chromium"] + CHROMIUM_FLAGS + ["--user-data-dir=" + os.path.join(work, "profile")] +
                              args, stdout=subprocess.PIPE, stderr=err, timeout=120, check=False).stdout


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--schema", required=True)
    parser.add_argument("--work", required=True)
    options = parser.parse_args()
    options.tool = os.path.abspath(options.tool)
    options.work = os.path.abspath(options.work)

    problems = []
    shutil.rmtree(options.work, ignore_errors=True)
    os.makedirs(os.path.join(options.work, "guisla"))
    work = options.work
    shutil.copy(options.schema, os.path.join(work, "guisla", "guisla.z04"))
    all_recipes = recipes(work)
    with open(os.path.join(work, "recetas.json"), "w", encoding="utf-8") as f:
        json.dump({"@context": "https://schema.org", "@graph": all_recipes}, f, ensure_ascii=False)
    for command in (["import", "guisla", "recetas.json"], ["export", "guisla", "--html", "export"]):
        run = subprocess.run([options.tool] + command, cwd=work, capture_output=True, text=True, check=False)
        if run.returncode != 0:
            print(f"guisla-tool {' '.join(command)}: status {run.returncode}\n{run.stdout}{run.stderr}")
            return 1

    with open(os.path.join(work, "check.html"), "w", encoding="utf-8") as f:
        f.write(CHECK_PAGE)
    log = os.path.join(work, "chromium-check.log")
    # The older headless mode logs every console message of every frame to stderr as CONSOLE lines.
    dom = chromium(["--headless=old", "--allow-file-access-from-files", "--enable-logging=stderr", "--v=0",
                    "--virtual-time-budget=20000", "--dump-dom", "file://" + os.path.join(work, "check.html")],
                   work, log).decode("utf-8", "replace")
    match = re.search(r'<pre id="out">(.*?)</pre>', dom, re.S)
    results = json.loads(match.group(1)) if match and match.group(1) != "pending" else None
    if results is None:
        problems.append("the checking page did not finish:\n" + dom[:2000])
        results = []
    with open(log, encoding="utf-8", errors="replace") as f:
        console = [line.strip() for line in f if ":CONSOLE" in line]
    problems += ["console: " + line for line in console]

    pages = {r.get("page"): r for r in results}
    for r in results:
        if "error" in r:
            problems.append("checking page: " + r["error"])
    expected = ["index.html"] + [f"receta-{k}.html" for k in range(1, len(all_recipes) + 1)]
    if sorted(pages) != sorted(expected):
        problems.append(f"pages loaded {sorted(pages)}, expected {sorted(expected)}")
    for page, r in pages.items():
        if not r.get("loaded"):
            problems.append(f"{page}: did not load")
        if r.get("broken"):
            problems.append(f"{page}: broken images {r['broken']}")
        for link in r.get("links", []):
            if not os.path.isfile(os.path.join(work, "export", link)):
                problems.append(f"{page}: link to a missing page {link}")
    for key, recipe in enumerate(all_recipes, start=1):
        want = 1 if "image" in recipe else 0
        got = pages.get(f"receta-{key}.html", {}).get("images")
        if got != want:
            problems.append(f"receta-{key}.html: {got} images, expected {want}")

    # The longest recipe, printed: one A4 page (595 x 842 points).
    pdf = os.path.join(work, "receta-1.pdf")
    chromium(["--headless", "--no-pdf-header-footer", "--print-to-pdf=" + pdf,
              "file://" + os.path.join(work, "export", "receta-1.html")], work, os.path.join(work, "chromium-pdf.log"))
    data = open(pdf, "rb").read() if os.path.isfile(pdf) else b""
    page_count = len(re.findall(rb"/Type\s*/Page\b(?!s)", data))
    boxes = [[float(v) for v in box.split()] for box in re.findall(rb"/MediaBox\s*\[([^\]]*)\]", data)]
    if page_count != 1:
        problems.append(f"receta-1.html printed to {page_count} pages")
    if not boxes or any(abs(b[2] - b[0] - 595.3) > 2 or abs(b[3] - b[1] - 841.9) > 2 for b in boxes):
        problems.append(f"receta-1.html printed on pages of {boxes}, not A4")

    for problem in problems:
        print("PROBLEM:", problem)
    print(f"{len(pages)} pages checked, {sum(r.get('images', 0) for r in results)} pictures, "
          f"PDF of {page_count} page(s): {'ok' if not problems else 'FAILED'}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
