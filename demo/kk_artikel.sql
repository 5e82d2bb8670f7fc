-- The demo's bonus articles, for the sqlite3 command-line tool (demo/make-articles-db runs it).
-- Dates are computed from today when the database is built, so the demo has to rebuild it at each start.
-- Dates are 'YYYY-MM-DD' text: the program's date literals compare with them as text.
-- No ORDER BY in the program's query: rows come in insertion order, so the first row is 123456.

CREATE TABLE kk_artikel (
    num_artikel      TEXT,           -- 10 characters; characters 5 to 10 are the article key
    nam_artikel      TEXT,
    nam_artikel_2    TEXT,
    nam_artikel_lang TEXT,
    anz_punkte       INTEGER,
    gueltig_ab       DATE,
    gueltig_bis      DATE,
    statt_preis      NUMERIC(10,2),
    dat_loesch       DATE
);

CREATE TEMP VIEW d AS SELECT
    date('now', 'localtime')              AS today,
    date('now', 'localtime', '-1 day')    AS yesterday,
    date('now', 'localtime', '+1 day')    AS tomorrow;

-- Listed today; every key has a stock record and a today figure in demo/veldor-data.json.
INSERT INTO kk_artikel
SELECT '9000123456', 'Röstkaffee Crema', 'ganze Bohne 1 kg', 'Röstkaffee Caffè Crema, ganze Bohne, 1000-g-Beutel',
       50, date(today, '-10 days'), date(today, '+20 days'), 14.99, date(today, '+50 days') FROM d
UNION ALL
SELECT '9000100201', 'Alpenmilch-Schokolade', 'Tafel 100 g', 'Alpenmilch-Schokolade, zartschmelzend, Tafel 100 g',
       10, date(today, '-10 days'), date(today, '+20 days'), 1.29, date(today, '+50 days') FROM d
UNION ALL
SELECT '9000100202', 'Spülmittel Zitrone', 'Flasche 500 ml', 'Hand-Spülmittel Zitrone, Konzentrat, Flasche 500 ml',
       15, date(today, '-3 days'), date(today, '+11 days'), 1.49, date(today, '+41 days') FROM d
UNION ALL
SELECT '9000100203', 'Mineralwasser medium', 'Kiste 12 x 0,7 l', 'Mineralwasser medium, Glas-Mehrweg, Kiste 12 x 0,7 l zzgl. Pfand',
       20, date(today, '-7 days'), date(today, '+7 days'), 6.99, date(today, '+37 days') FROM d
UNION ALL
SELECT '9000100204', 'Olivenöl nativ extra', 'Flasche 750 ml', 'Olivenöl nativ extra, erste Kaltpressung, Flasche 750 ml',
       40, date(today, '-14 days'), date(today, '+14 days'), 9.49, date(today, '+44 days') FROM d
UNION ALL
SELECT '9100100205', 'Toilettenpapier', '3-lagig, 10 Rollen', 'Toilettenpapier 3-lagig, 10 Rollen à 150 Blatt',
       25, date(today, '-2 days'), date(today, '+26 days'), 4.79, date(today, '+56 days') FROM d
UNION ALL
SELECT '9000100206', 'Colorwaschmittel', 'Pulver 1,35 kg', 'Colorwaschmittel Pulver 1,35 kg, 20 Waschladungen',
       60, date(today, '-10 days'), date(today, '+4 days'), 7.99, date(today, '+34 days') FROM d
UNION ALL
SELECT '9000100207', 'Bananen', 'Klasse I, je kg', 'Bananen, Herkunft siehe Etikett, Klasse I, Preis je kg',
       5, date(today, '-1 day'), date(today, '+6 days'), 1.69, date(today, '+36 days') FROM d
UNION ALL
SELECT '9100100208', 'Rotwein Tempranillo', 'trocken, 0,75 l', 'Tempranillo Crianza, Rotwein trocken, Spanien, Flasche 0,75 l',
       30, date(today, '-21 days'), date(today, '+9 days'), 5.99, date(today, '+39 days') FROM d
UNION ALL
SELECT '9000100209', 'Deutsche Markenbutter', 'mildgesäuert 250 g', 'Deutsche Markenbutter, mildgesäuert, 250 g',
       10, date(today, '-5 days'), date(today, '+2 days'), 2.39, date(today, '+32 days') FROM d
UNION ALL
-- From today on: listed (gueltig_ab <= today).
SELECT '9000100210', 'Zahncreme Kräuter', 'Tube 75 ml', 'Zahncreme Kräuter mit Fluorid, Tube 75 ml',
       15, today, date(today, '+27 days'), 1.95, date(today, '+57 days') FROM d
UNION ALL
-- Until today: listed (gueltig_bis >= today).
SELECT '9000100211', 'Haferflocken kernig', 'Beutel 500 g', 'Haferflocken kernig, Vollkorn, Beutel 500 g',
       5, date(today, '-13 days'), today, 0.99, date(today, '+30 days') FROM d;

-- Not listed today; their keys are unknown to the demo server, which never gets asked about them.
INSERT INTO kk_artikel
-- No deletion date: NULL never compares, so the article is left out.
SELECT '9000100212', 'Apfelsaft naturtrüb', 'Flasche 1 l', 'Apfelsaft naturtrüb, Direktsaft, Flasche 1 l',
       10, date(today, '-10 days'), date(today, '+20 days'), 1.79, NULL FROM d
UNION ALL
-- Expired yesterday.
SELECT '9000100213', 'Frischkäse Kräuter', 'Becher 200 g', 'Frischkäse Doppelrahmstufe mit Kräutern, Becher 200 g',
       10, date(today, '-15 days'), yesterday, 1.19, date(today, '+29 days') FROM d
UNION ALL
-- Valid only from tomorrow.
SELECT '9000100214', 'Grillholzkohle', 'Sack 3 kg', 'Grillholzkohle Buche, Sack 3 kg',
       20, tomorrow, date(today, '+28 days'), 5.49, date(today, '+58 days') FROM d
UNION ALL
-- Otherwise valid, but deleted yesterday.
SELECT '9000100215', 'Eistee Pfirsich', 'Flasche 1,5 l', 'Eistee Pfirsich, Flasche 1,5 l zzgl. Pfand',
       5, date(today, '-10 days'), date(today, '+20 days'), 1.09, yesterday FROM d;
