* Makes iris.sav from iris.csv: Fisher's iris measurements (1936), 150 flowers.
GET DATA /TYPE=TXT /FILE='iris.csv' /DELIMITERS=',' /FIRSTCASE=2
  /VARIABLES=sepal_length F4.1 sepal_width F4.1 petal_length F4.1 petal_width F4.1 species A10.
VARIABLE LABELS sepal_length 'Sepal length (cm)' /sepal_width 'Sepal width (cm)'
  /petal_length 'Petal length (cm)' /petal_width 'Petal width (cm)' /species 'Species'.
VARIABLE LEVEL species (NOMINAL).
SAVE OUTFILE='iris.sav'.
